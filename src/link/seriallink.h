#pragma once

#include "receiveassembler.h"

#include <QObject>
#include <QSerialPort>
#include <QStringList>

// The serial line to the panel: one port, chosen by number 1 to 16, fixed
// at 9600 baud 8N1. Frames go out with sendFrame; complete replies come
// back one at a time, in arrival order, through replyReceived.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    // Selecting another number is refused while the port is open.
    bool selectPort(int number, QString *error);
    int portNumber() const { return m_portNumber; }
    // Device name behind the selected number (empty when there is none).
    QString deviceName() const;

    bool open(QString *error);
    void close(); // harmless on a closed port
    bool isOpen() const { return m_port.isOpen(); }

    // Writes the frame's bytes in one write. A malformed frame or a closed
    // port writes nothing and returns false with the reason in *error.
    bool SendFrame(const QString &frame, QString *error);

    // The received bytes that do not yet form a complete reply.
    QString ReceiveBuffer() const { return m_assembler.pendingText(); }
    void clearReceiveBuffer() { m_assembler.clear(); }

signals:
    void replyReceived(const QString &reply);
    // The open port went away (device unplugged); the port is closed.
    void portLost(const QString &reason);

private:
    void readWaiting();
    void takeWaitingBytes();
    void handleError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    ReceiveAssembler m_assembler;
    QStringList m_undelivered;
    bool m_delivering = false;
    int m_portNumber = 1;
};
