#include "consoleoutput.h"

#include <QJsonDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>

void ConsoleOutput::line(const QString &text)
{
    write(text.toUtf8() + '\n');
}

void ConsoleOutput::json(const QJsonObject &document)
{
    write(QJsonDocument(document).toJson());
}

void ConsoleOutput::write(const QByteArray &bytes)
{
    if (m_errno != 0)
        return;
    errno = 0;
    // Flushed at once: a script reading the lines sees them as they come.
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())
        || std::fflush(stdout) != 0)
        m_errno = errno != 0 ? errno : EIO;
}

bool ConsoleOutput::finish(QString *error)
{
    if (m_errno == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        m_errno = errno != 0 ? errno : EIO;
    if (m_errno == 0)
        return true;
    *error = QStringLiteral("the standard output could not be written: %1").arg(QString::fromLocal8Bit(std::strerror(m_errno)));
    return false;
}

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"));
}
