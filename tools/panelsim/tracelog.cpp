#include "tracelog.h"

#include "frametext.h"

#include <QTime>
#include <cstdio>

void TraceLog::note(const QString &text) const
{
    print("--", text);
}

void TraceLog::line(const char *direction, const QByteArray &bytes) const
{
    print(direction, FrameText::fromBytes(bytes));
}

void TraceLog::print(const char *direction, const QString &text) const
{
    if (!m_enabled)
        return;
    const QByteArray stamp = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    std::fprintf(stderr, "%s %s %s\n", stamp.constData(), direction, text.toLocal8Bit().constData());
    std::fflush(stderr);
}
