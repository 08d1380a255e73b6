#include "delay.h"

#include <QEventLoop>
#include <QTimer>

void Delay(double seconds)
{
    const int ms = qRound(seconds * 1000.0);
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
