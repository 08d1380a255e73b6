#pragma once

#include <QColor>
#include <QList>
#include <QObject>

class QWidget;

// The ten port lamps Shape_0 .. Shape_9 of the status strip, painted as
// filled circles. Lamp n - 1 shows port n; ports 11 to 16 have none.
class PortLamps : public QObject
{
    Q_OBJECT
public:
    static inline const QColor InUse = QColor(255, 255, 0);
    static inline const QColor Failed = QColor(0, 0, 255);

    explicit PortLamps(QWidget *strip);

    void setPort(int port, const QColor &colour, const QString &toolTip);
    QColor colour(int port) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QWidget *> m_lamps;
};
