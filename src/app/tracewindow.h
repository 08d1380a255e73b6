#pragma once

#include <QWidget>

class ProtocolTrace;
namespace Ui {
class TraceWindow;
}

// Help > "Protocol trace": the lines of the protocol trace (the last
// ProtocolTrace::MaxLines), new ones added as they come. Clear empties the
// trace, Save writes it as plain text. Non-modal, one per owner; closing
// it hides it, and it goes on taking the lines meanwhile.
class TraceWindow : public QWidget
{
    Q_OBJECT
public:
    TraceWindow(QWidget *owner, ProtocolTrace &trace);
    ~TraceWindow() override;

    // Shows the owner's trace window, creating it the first time, and
    // brings it to the front.
    static TraceWindow *showFor(QWidget *owner, ProtocolTrace &trace);

    // The trace's lines, one per text line; false with the reason on failure.
    bool saveTo(const QString &path, QString *error) const;
    QString text() const;

private:
    void save();

    Ui::TraceWindow *ui;
    ProtocolTrace &m_trace;
};
