#include "transferprogress.h"

TransferProgress::TransferProgress(QObject *parent)
    : QObject(parent)
{
    Timer1.setInterval(TickMs);
    connect(&Timer1, &QTimer::timeout, this, &TransferProgress::tick);
}

void TransferProgress::start(int maximum)
{
    m_maximum = qMax(0, maximum);
    m_value = qMin(1, m_maximum);
    emit changed(m_value, m_maximum);
    Timer1.start();
}

void TransferProgress::stop()
{
    Timer1.stop();
}

void TransferProgress::setValue(int value)
{
    if (value < 0 || value > m_maximum)
        return;
    m_value = value;
    emit changed(m_value, m_maximum);
}

void TransferProgress::tick()
{
    setValue(m_value + 1);
}
