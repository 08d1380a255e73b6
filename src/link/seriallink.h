#pragma once

#include "protocoltrace.h"
#include "receiveassembler.h"

#include <QObject>
#include <QSerialPort>
#include <QStringList>

// The serial line to the panel: one port, chosen by number 1 to 16, fixed
// at 9600 baud 8N1. Frames go out with sendFrame; complete replies come
// back one at a time, in arrival order, through replyReceived. Everything
// that happens on the line goes into the link's own protocol trace.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    // Selecting another number is refused while the port is open.
    bool selectPort(int number, QString *error);
    int portNumber() const { return m_portNumber; }
    // The device behind the selected number: the one last opened or tried
    // for it, or else the one the port catalog gives now (empty for none).
    QString deviceName() const;

    // Opens the selected number's device. On failure *error says why in
    // words for the technician (no such device, no permission, busy).
    bool open(QString *error);
    // Opens again the device that was last opened, whatever the port
    // catalog gives for the number now.
    bool reopen(QString *error);
    // Opens a device named by its path, whatever number the port has.
    bool openPath(const QString &device, QString *error);
    // Harmless on a closed port. Replies not yet delivered are dropped.
    void close();
    bool isOpen() const { return m_port.isOpen(); }

    // Writes the frame's bytes in one write. A malformed frame or a closed
    // port writes nothing and returns false with the reason in *error. A
    // write the line refuses counts as the line lost: the port is closed
    // and portLost is emitted before this returns false.
    bool SendFrame(const QString &frame, QString *error);

    // Bytes the port takes from the line ahead of the reader at most. While
    // a consumer of a reply waits in a nested event loop the line is not
    // read beyond this, so memory stays bounded whatever the line sends.
    static constexpr qint64 ReadBufferBytes = 1024;

    // The received bytes that do not yet form a complete reply.
    QString ReceiveBuffer() const { return m_assembler.pendingText(); }
    void clearReceiveBuffer() { m_assembler.clear(); }

    ProtocolTrace &trace() { return m_trace; }

signals:
    void replyReceived(const QString &reply);
    // The open port went away (device unplugged); the port is closed.
    void portLost(const QString &reason);

private:
    bool openDevice(const QString &device, QString *error);
    void readWaiting();
    void handleError(QSerialPort::SerialPortError error);
    void dropReceived();
    void lineGone(const QString &reason);

    ProtocolTrace m_trace;
    QSerialPort m_port;
    ReceiveAssembler m_assembler;
    QStringList m_undelivered;
    bool m_delivering = false;
    int m_portNumber = 1;
    QString m_device;          // resolved for m_portNumber by the last open
    bool m_deviceKnown = false;
    QString m_lostReason;      // why the line went away last
};
