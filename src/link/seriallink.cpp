#include "seriallink.h"

#include "frametext.h"
#include "portcatalog.h"

SerialLink::SerialLink(QObject *parent)
    : QObject(parent)
{
    // Connected before any open: a vanished device reports itself here.
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::handleError);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::readWaiting);
}

bool SerialLink::selectPort(int number, QString *error)
{
    if (m_port.isOpen()) {
        *error = QStringLiteral("the serial port is already open");
        return false;
    }
    if (number < PortCatalog::FirstPort || number > PortCatalog::LastPort) {
        *error = QStringLiteral("port number %1 is not between 1 and 16").arg(number);
        return false;
    }
    m_portNumber = number;
    return true;
}

QString SerialLink::deviceName() const
{
    return PortCatalog::deviceForPort(m_portNumber);
}

bool SerialLink::open(QString *error)
{
    if (m_port.isOpen()) {
        *error = QStringLiteral("the serial port is already open");
        return false;
    }
    const QString device = deviceName();
    if (device.isEmpty()) {
        *error = QStringLiteral("no serial port has the number %1 on this computer").arg(m_portNumber);
        return false;
    }
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = m_port.errorString();
        m_port.clearError();
        return false;
    }
    m_assembler.clear();
    return true;
}

void SerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool SerialLink::SendFrame(const QString &frame, QString *error)
{
    QByteArray bytes;
    if (!FrameText::toBytes(frame, &bytes, error))
        return false;
    if (!m_port.isOpen()) {
        *error = QStringLiteral("the serial port is not open");
        return false;
    }
    if (m_port.write(bytes) != bytes.size()) {
        *error = m_port.errorString();
        return false;
    }
    m_port.flush();
    return true;
}

void SerialLink::readWaiting()
{
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_undelivered.append(m_assembler.feed(bytes));
    // A consumer may wait in a nested event loop (a message box); replies
    // completed meanwhile queue up and are delivered after it, in order.
    if (m_delivering)
        return;
    m_delivering = true;
    while (!m_undelivered.isEmpty())
        emit replyReceived(m_undelivered.takeFirst());
    m_delivering = false;
}

void SerialLink::handleError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError || !m_port.isOpen())
        return;
    // QSerialPort repeats this error in a tight loop until the port closes.
    const QString reason = m_port.errorString();
    m_port.close();
    m_port.clearError();
    m_assembler.clear();
    emit portLost(reason);
}
