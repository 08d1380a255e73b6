#pragma once

#include <QByteArray>
#include <QString>

// --trace: one time-stamped line per event on standard error.
//   12:04:31.517 <- FF0018     a frame received
//   12:04:31.540 -> FF6F0D0A   bytes written, one line per write
//   12:04:31.541 -- text       anything else worth knowing
class TraceLog
{
public:
    explicit TraceLog(bool enabled = false) : m_enabled(enabled) {}

    void frameIn(const QByteArray &frame) const { line("<-", frame); }
    void bytesOut(const QByteArray &bytes) const { line("->", bytes); }
    void note(const QString &text) const;

private:
    void line(const char *direction, const QByteArray &bytes) const;
    void print(const char *direction, const QString &text) const;

    bool m_enabled;
};
