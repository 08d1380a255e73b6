#include "passwordprompt.h"

#include <QFile>

#include <csignal>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// A password line is read only up to this many bytes.
const int MaxLineBytes = 256;

#ifdef Q_OS_UNIX
// The terminal as it was before the prompt; a signal at the prompt puts it
// back before the program ends the signal's default way. Only the handler
// needs it outside promptPassword.
termios promptSaved{};
const int PromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreTerminal(int signalNumber)
{
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &promptSaved);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}
#endif

// The password without echo from the terminal, as sudo asks it.
bool promptPassword(QString *password)
{
#ifdef Q_OS_UNIX
    if (!::isatty(STDIN_FILENO))
        return false;
    std::fprintf(stderr, "Panel password: ");
    ::tcgetattr(STDIN_FILENO, &promptSaved);
    for (const int signalNumber : PromptSignals)
        ::signal(signalNumber, restoreTerminal);
    termios quiet = promptSaved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    char line[MaxLineBytes] = {};
    const bool read = std::fgets(line, sizeof line, stdin) != nullptr;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &promptSaved);
    for (const int signalNumber : PromptSignals)
        ::signal(signalNumber, SIG_DFL);
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
        *password = QString::fromLocal8Bit(file.readLine(MaxLineBytes)).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
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
