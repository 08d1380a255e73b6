#include "pseudoterminal.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

// No echo, no line editing, no CR/LF translation: bytes pass unchanged.
bool makeRaw(int fd)
{
    termios raw{};
    if (::tcgetattr(fd, &raw) != 0)
        return false;
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    return ::tcsetattr(fd, TCSANOW, &raw) == 0;
}

} // namespace

bool PseudoTerminal::open(QString *error)
{
    close();
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        *error = systemError("openpty");
        m_master = m_slave = -1;
        return false;
    }
    if (!makeRaw(m_slave)) {
        *error = systemError("raw mode");
        close();
        return false;
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = systemError("non-blocking master");
        close();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

bool PseudoTerminal::makeLink(const QString &path, QString *error)
{
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        QFile::remove(path);
    } else if (existing.exists()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(path);
        return false;
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), QFile::encodeName(path).constData()) != 0) {
        *error = systemError("symlink");
        return false;
    }
    m_linkPath = path;
    return true;
}

void PseudoTerminal::close()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    if (!m_linkPath.isEmpty())
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

int PseudoTerminal::unreadByProgram() const
{
    int waiting = 0;
    if (m_slave < 0 || ::ioctl(m_slave, TIOCINQ, &waiting) != 0)
        return 0;
    return waiting;
}
