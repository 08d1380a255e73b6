#include "passwordprompt.h"

#include <QFile>

#include <cstdio>
#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// The password without echo from the terminal, as sudo asks it.
bool promptPassword(QString *password)
{
#ifdef Q_OS_UNIX
    if (!::isatty(STDIN_FILENO))
        return false;
    std::fprintf(stderr, "Panel password: ");
    termios saved{};
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, stdin) != nullptr;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    *password = QString::fromLocal8Bit(line).remove(QLatin1Char('\n'));
    return read;
#else
    Q_UNUSED(password);
    return false;
#endif
}

} // namespace

bool readPassword(const QString &passwordFile, QString *password, QString *error)
{
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("The password file %1 cannot be read: %2").arg(passwordFile, file.errorString());
            return false;
        }
        *password = QString::fromLocal8Bit(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        return true;
    }
    if (qEnvironmentVariableIsSet("KV4810G_PASSWORD")) {
        *password = qEnvironmentVariable("KV4810G_PASSWORD");
        return true;
    }
    if (promptPassword(password))
        return true;
    *error = QStringLiteral("no panel password: set KV4810G_PASSWORD or give --password-file FILE");
    return false;
}
