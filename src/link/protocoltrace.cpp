#include "protocoltrace.h"

#include "panelframes.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

Q_LOGGING_CATEGORY(lcProtocolTrace, "kv4810g.trace", QtWarningMsg)

ProtocolTrace::ProtocolTrace(QObject *parent)
    : QObject(parent)
{
}

ProtocolTrace::~ProtocolTrace() = default;

void ProtocolTrace::frameSent(const QString &frame)
{
    add("->", masked(frame));
}

void ProtocolTrace::replyReceived(const QString &reply)
{
    add("<-", reply);
}

void ProtocolTrace::note(const QString &text)
{
    add("--", text);
}

QString ProtocolTrace::masked(const QString &frame)
{
    const QString upper = frame.toUpper();
    const QLatin1String prefix(PanelFrames::PasswordPrefix);
    if (upper.startsWith(prefix))
        return prefix + QStringLiteral("****");
    return upper;
}

void ProtocolTrace::clear()
{
    m_lines.clear();
    emit cleared();
}

void ProtocolTrace::add(const char *direction, const QString &text)
{
    const QString line = QStringLiteral("%1 %2 %3")
                             .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                                  QLatin1String(direction), text);
    qCDebug(lcProtocolTrace).noquote() << line;
    m_lines.append(line);
    if (m_lines.size() > MaxLines)
        m_lines.removeFirst();
    if (m_file) {
        m_file->write(line.toUtf8() + '\n');
        m_file->flush();
    }
    emit lineAdded(line);
}

bool ProtocolTrace::setFile(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = file->errorString();
        return false;
    }
    const QString header = QStringLiteral("# KV-4810G programming software %1, protocol trace started %2")
                               .arg(QCoreApplication::applicationVersion(),
                                    QDateTime::currentDateTime().toString(Qt::ISODate));
    if (file->write(header.toUtf8() + '\n') < 0 || !file->flush()) {
        *error = file->errorString();
        return false;
    }
    m_file = std::move(file);
    return true;
}

void ProtocolTrace::closeFile()
{
    m_file.reset();
}

QString ProtocolTrace::filePath() const
{
    return m_file ? m_file->fileName() : QString();
}
