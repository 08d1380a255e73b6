#include "portlamps.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace {
const char ColourProperty[] = "lampColour";
}

PortLamps::PortLamps(QWidget *strip)
    : QObject(strip)
{
    for (int i = 0; i < 10; ++i) {
        QWidget *lamp = strip->findChild<QWidget *>(QStringLiteral("Shape_%1").arg(i));
        Q_ASSERT(lamp);
        lamp->setProperty(ColourProperty, Failed);
        lamp->setToolTip(QStringLiteral("Port %1: not tried yet").arg(i + 1));
        lamp->installEventFilter(this);
        m_lamps.append(lamp);
    }
}

void PortLamps::setPort(int port, const QColor &colour, const QString &toolTip)
{
    if (port < 1 || port > m_lamps.size())
        return;
    QWidget *lamp = m_lamps.at(port - 1);
    lamp->setProperty(ColourProperty, colour);
    lamp->setToolTip(toolTip);
    lamp->update();
}

QColor PortLamps::colour(int port) const
{
    if (port < 1 || port > m_lamps.size())
        return QColor();
    return m_lamps.at(port - 1)->property(ColourProperty).value<QColor>();
}

bool PortLamps::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Paint)
        return false;
    auto *lamp = static_cast<QWidget *>(watched);
    QPainter painter(lamp);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(lamp->property(ColourProperty).value<QColor>());
    const int diameter = qMin(lamp->width(), lamp->height()) - 1;
    QRectF circle(0, 0, diameter, diameter);
    circle.moveCenter(QRectF(lamp->rect()).center());
    painter.drawEllipse(circle);
    return true;
}
