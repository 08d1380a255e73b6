#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QStringList>

#include <memory>

class QFile;

// The logging category of the trace, off unless turned on, for instance
// with QT_LOGGING_RULES="kv4810g.trace=true".
Q_DECLARE_LOGGING_CATEGORY(lcProtocolTrace)

// What went over the serial line, one time-stamped line per event:
//   12:04:31.517 -> FF0018       a frame sent to the panel
//   12:04:31.540 <- FF6F0D0A     a complete reply from the panel
//   12:04:31.541 -- text         the port opened, failed, closed or went away
// The passwords are always written "****": a trace is sent to other people. Every line goes to the logging category, to the
// trace kept in memory (the last MaxLines) and to the trace file, if any.
// Each panel session keeps its own trace.
class ProtocolTrace : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 10000;

    explicit ProtocolTrace(QObject *parent = nullptr);
    ~ProtocolTrace() override;

    void frameSent(const QString &frame);
    void replyReceived(const QString &reply);
    void note(const QString &text);

    // The frame text in upper case, its secrets as "****": a password frame
    // ("FF0102" and the password's characters) as "FF0102****", whatever its
    // length; the wireless module password of frame "FF0B" as
    // "FF0B****" followed by the relay bytes.
    static QString masked(const QString &frame);
    // The reply text with the wireless module password of a reply "FF5A"
    // (behind any line noise) as "****", the relay bytes kept.
    static QString maskedReply(const QString &reply);

    // The lines kept, oldest first.
    QStringList lines() const { return m_lines; }
    void clear();

    // From now on every line also goes to the file (replaced), each one
    // written through at once, so a trace survives an abrupt end. A header
    // line names the program and the date first.
    bool setFile(const QString &path, QString *error);
    void closeFile();
    QString filePath() const;

signals:
    void lineAdded(const QString &line);
    void cleared();

private:
    void add(const char *direction, const QString &text);

    QStringList m_lines;
    std::unique_ptr<QFile> m_file;
};
