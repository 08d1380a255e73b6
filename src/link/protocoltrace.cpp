#include "protocoltrace.h"

#include "frametext.h"
#include "panelframes.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cstdio>

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
    add("<-", maskedReply(reply));
}

void ProtocolTrace::note(const QString &text)
{
    add("--", text);
}

QString ProtocolTrace::masked(const QString &frame)
{
    const QString upper = frame.toUpper();
    const QLatin1String password(PanelFrames::PasswordPrefix);
    if (upper.startsWith(password))
        return password + QStringLiteral("****");
    const QLatin1String wireless(PanelFrames::PasswordRelaysCommand);
    if (upper.startsWith(wireless))
        return wireless + QStringLiteral("****") + upper.mid(wireless.size() + 8);
    return upper;
}

QString ProtocolTrace::maskedReply(const QString &reply)
{
    const int start = FrameText::replyStart(reply);
    const QLatin1String wireless(PanelFrames::PasswordRelaysReply);
    if (QStringView(reply).mid(start).startsWith(wireless))
        return reply.left(start) + wireless + QStringLiteral("****") + reply.mid(start + wireless.size() + 8);
    return reply;
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
    const bool written = !m_file || (m_file->write(line.toUtf8() + '\n') >= 0 && m_file->flush());
    emit lineAdded(line);
    if (!written) {
        // A full disk, say: the file is given up rather than its lines kept
        // in memory, and that is said once, here and on standard error.
        const QString failure = QStringLiteral("the trace file %1 is incomplete from here on: %2")
                                    .arg(m_file->fileName(), m_file->errorString());
        m_file.reset();
        std::fprintf(stderr, "kv4810g: %s\n", qPrintable(failure));
        note(failure);
    }
}

bool ProtocolTrace::setFile(const QString &path, QString *error)
{
    // The trace holds the panel's settings: readable by its owner only,
    // whatever the umask, also when it replaces an older file.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text, ownerOnly)
        || !file->setPermissions(ownerOnly)) {
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
