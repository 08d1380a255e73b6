#pragma once

// A real pseudo-terminal pair: the program opens devicePath() as a serial port; the test plays the far end.

#include <QElapsedTimer>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

class PtyPair
{
public:
    PtyPair()
    {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        tcgetattr(m_slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_slave, TCSANOW, &raw);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
    }
    ~PtyPair()
    {
        closeMaster();
        releaseSlave();
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString devicePath() const { return m_path; }

    // Keeps the slave open only until the program side has opened it.
    void releaseSlave() { ::close(std::exchange(m_slave, -1)); }
    // The far end hangs up.
    void closeMaster() { ::close(std::exchange(m_master, -1)); }

    // Writes what the line takes now: the bytes taken, -1 when it takes nothing.
    qint64 write(const QByteArray &bytes) { return ::write(m_master, bytes.constData(), bytes.size()); }

    // Reads until `count` bytes have come or the time is up, events flowing;
    // with a count of 0, whatever has arrived, without waiting.
    QByteArray read(int count, int timeoutMs = 5000)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (count == 0 || got.size() < count) {
            char buffer[512];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, int(n));
            else if (count == 0 || clock.hasExpired(timeoutMs))
                break;
            else
                QTest::qWait(5);
        }
        return got;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
