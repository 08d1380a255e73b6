#include "seriallink.h"

#include "frametext.h"
#include "portcatalog.h"
#include "protocoltrace.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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
    if (number != m_portNumber)
        m_deviceKnown = false;
    m_portNumber = number;
    return true;
}

QString SerialLink::deviceName() const
{
    return m_deviceKnown ? m_device : PortCatalog::deviceForPort(m_portNumber);
}

bool SerialLink::open(QString *error)
{
    if (m_port.isOpen()) {
        *error = QStringLiteral("the serial port is already open");
        return false;
    }
    m_device = PortCatalog::deviceForPort(m_portNumber);
    m_deviceKnown = true;
    if (m_device.isEmpty()) {
        *error = QStringLiteral("no serial port has this number on this computer");
        m_trace.note(QStringLiteral("port %1 not opened: %2").arg(m_portNumber).arg(*error));
        return false;
    }
    return openDevice(m_device, error);
}

bool SerialLink::reopen(QString *error)
{
    if (m_port.isOpen())
        return true;
    if (!m_deviceKnown || m_device.isEmpty())
        return open(error);
    return openDevice(m_device, error);
}

bool SerialLink::openPath(const QString &device, QString *error)
{
    if (m_port.isOpen()) {
        *error = QStringLiteral("the serial port is already open");
        return false;
    }
    m_device = device;
    m_deviceKnown = true;
    return openDevice(device, error);
}

namespace {

// Why an open failed, in the words a technician acts on.
QString openFailure(const QSerialPort &port, const QString &device)
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("no such device");
    case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0)
            return QStringLiteral("permission denied: add your user to the dialout group, "
                                  "then log in again");
#else
        Q_UNUSED(device);
#endif
        return QStringLiteral("busy, in use by another program");
    default:
        return port.errorString();
    }
}

} // namespace

bool SerialLink::openDevice(const QString &device, QString *error)
{
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(ReadBufferBytes);
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = openFailure(m_port, device);
        m_port.clearError();
        m_trace.note(QStringLiteral("port %1 (%2) not opened: %3").arg(m_portNumber).arg(device, *error));
        return false;
    }
    dropReceived();
    m_trace.note(QStringLiteral("port %1 (%2) opened").arg(m_portNumber).arg(device));
    return true;
}

void SerialLink::close()
{
    if (m_port.isOpen()) {
        m_port.close();
        m_trace.note(QStringLiteral("port %1 closed").arg(m_portNumber));
    }
    m_port.clearError();
    dropReceived();
}

void SerialLink::dropReceived()
{
    m_assembler.clear();
    m_undelivered.clear();
}

bool SerialLink::SendFrame(const QString &frame, QString *error)
{
    QByteArray bytes;
    if (!FrameText::toBytes(frame, &bytes, error)) {
        m_trace.note(QStringLiteral("not sent, not a frame of whole bytes: %1").arg(ProtocolTrace::masked(frame)));
        return false;
    }
    if (!m_port.isOpen()) {
        *error = QStringLiteral("the serial port is not open");
        m_trace.note(QStringLiteral("not sent, the serial port is not open: %1").arg(ProtocolTrace::masked(frame)));
        return false;
    }
    // A failed write or flush may already have closed the port through
    // handleError; either way the line is gone.
    const bool written = m_port.write(bytes) == bytes.size() && (bytes.isEmpty() || m_port.flush());
    if (!written || !m_port.isOpen()) {
        *error = m_port.isOpen() ? m_port.errorString() : m_lostReason;
        m_trace.note(QStringLiteral("not sent, %1: %2").arg(*error, ProtocolTrace::masked(frame)));
        if (m_port.isOpen())
            lineGone(*error);
        return false;
    }
    m_trace.frameSent(FrameText::fromBytes(bytes));
    return true;
}

void SerialLink::readWaiting()
{
    // A consumer may wait in a nested event loop (a message box) inside
    // replyReceived. The port does not signal again meanwhile; it reads the
    // line only up to its bounded buffer. Replies are taken from the port
    // one read at a time, only when the ones before have all been handed
    // out, so they keep their order and nothing grows while a consumer
    // waits. Closing the port drops what it had not handed out.
    if (m_delivering)
        return;
    m_delivering = true;
    for (;;) {
        if (m_undelivered.isEmpty() && m_port.isOpen() && m_port.bytesAvailable() > 0) {
            m_undelivered = m_assembler.feed(m_port.readAll());
            for (const QString &reply : std::as_const(m_undelivered))
                m_trace.replyReceived(reply);
        }
        if (m_undelivered.isEmpty())
            break;
        emit replyReceived(m_undelivered.takeFirst());
    }
    m_delivering = false;
}

void SerialLink::handleError(QSerialPort::SerialPortError error)
{
    // A device that went away (adapter pulled, far end of a pseudo-terminal
    // closed) reports a resource, read or write error, and repeats it in a
    // tight loop until the port is closed. Modem-line refusals are harmless.
    const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
    if (gone && m_port.isOpen())
        lineGone(m_port.errorString());
}

void SerialLink::lineGone(const QString &reason)
{
    m_lostReason = reason;
    m_trace.note(QStringLiteral("port %1 went away: %2").arg(m_portNumber).arg(reason));
    close();
    emit portLost(reason);
}
