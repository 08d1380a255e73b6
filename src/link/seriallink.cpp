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

void SerialLink::takeWaitingBytes()
{
    if (m_port.isOpen() && m_port.bytesAvailable() > 0)
        m_undelivered.append(m_assembler.feed(m_port.readAll()));
}

void SerialLink::readWaiting()
{
    takeWaitingBytes();
    // A consumer may wait in a nested event loop (a message box). The port
    // does not signal again for bytes buffered meanwhile, and replies they
    // complete must not overtake the one being handled: they are taken and
    // delivered here, in order, once the consumer has returned.
    if (m_delivering)
        return;
    m_delivering = true;
    while (!m_undelivered.isEmpty()) {
        emit replyReceived(m_undelivered.takeFirst());
        takeWaitingBytes();
    }
    m_delivering = false;
}

void SerialLink::handleError(QSerialPort::SerialPortError error)
{
    // A device that went away (adapter pulled, far end of a pseudo-terminal
    // closed) reports a resource or read error, and repeats it in a tight
    // loop until the port is closed. Modem-line refusals are harmless.
    const bool lineGone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!lineGone || !m_port.isOpen())
        return;
    const QString reason = m_port.errorString();
    m_port.close();
    m_port.clearError();
    m_assembler.clear();
    emit portLost(reason);
}
