#pragma once

// A relay on loopback between the store and the test server, in the test's own event loop: it forwards each
// connection's bytes both ways, each after a fixed delay when one is set; when it stops forwarding it keeps every
// connection open and leaves what arrives unread, as a stuck proxy or a VPN that holds the link does. With a marker
// set, the server's answers on a connection stop once the store has sent the marker there: its COMMIT arrives, the
// answer does not.
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class ServerRelay : public QObject
{
public:
    explicit ServerRelay(quint16 serverPort, int delayMs = 0)
        : m_serverPort(serverPort)
        , m_delayMs(delayMs)
    {
        m_listener.listen(QHostAddress::LocalHost);
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *client = m_listener.nextPendingConnection()) {
                auto *server = new QTcpSocket(client);
                m_links.append(std::make_pair(QPointer<QTcpSocket>(client), QPointer<QTcpSocket>(server)));
                for (QTcpSocket *end : {client, server})
                    connect(end, &QTcpSocket::readyRead, this, &ServerRelay::pump);
                connect(server, &QTcpSocket::connected, this, &ServerRelay::pump);
                connect(client, &QTcpSocket::disconnected, server, &QTcpSocket::disconnectFromHost);
                connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
                server->connectToHost(QHostAddress::LocalHost, m_serverPort);
            }
        });
    }
    quint16 port() const { return m_listener.serverPort(); }
    void holdAnswersAfter(const QByteArray &marker) { m_marker = marker; }
    void setDelayMs(int ms) { m_delayMs = ms; }
    qsizetype connections() const { return m_links.size(); }
    void setForwarding(bool forwarding)
    {
        m_forwarding = forwarding;
        pump();
    }

private:
    void pump()
    {
        if (!m_forwarding)
            return;
        for (const auto &[client, server] : m_links) {
            if (!client || !server || server->state() != QAbstractSocket::ConnectedState)
                continue;
            if (!m_held.contains(server))
                forward(server, client);
            forward(client, server);
        }
    }
    void forward(QTcpSocket *from, QTcpSocket *to)
    {
        const QByteArray bytes = from->readAll();
        if (bytes.isEmpty())
            return;
        if (!m_marker.isEmpty() && bytes.contains(m_marker))
            m_held.append(to);
        if (m_delayMs == 0)
            to->write(bytes);
        else
            QTimer::singleShot(m_delayMs, Qt::PreciseTimer, to, [to, bytes] { to->write(bytes); });
    }

    QTcpServer m_listener;
    quint16 m_serverPort;
    int m_delayMs;
    bool m_forwarding = true;
    QByteArray m_marker;
    QList<QTcpSocket *> m_held; // servers whose answers stay unread
    QList<std::pair<QPointer<QTcpSocket>, QPointer<QTcpSocket>>> m_links;
};
