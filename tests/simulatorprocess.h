#pragma once

// Runs the panel simulator for a test: its line; with "--trace", the frames it took; with "--state FILE", the panel.
// The process starts at construction and its line is awaited when first asked for, so several start side by side.

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>

// A JSON file's object; empty when it cannot be read.
inline QJsonObject readJsonFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

class SimulatorProcess
{
public:
    explicit SimulatorProcess(const QStringList &arguments = {})
    {
        if (arguments.contains(QStringLiteral("--trace")))
            QObject::connect(&m_process, &QProcess::readyReadStandardError,
                             [this] { m_trace += QString::fromLocal8Bit(m_process.readAllStandardError()); });
        else
            m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(PANELSIM_PATH), arguments);
    }
    ~SimulatorProcess()
    {
        m_process.terminate(); // still running after that, it is killed with m_process
        m_process.waitForFinished(3000);
    }
    bool isReady() const { return device().startsWith(QLatin1Char('/')); }
    // The first line the simulator writes.
    QString device() const
    {
        for (int i = 0; i < 100 && m_device.isEmpty() && !m_process.canReadLine(); ++i)
            m_process.waitForReadyRead(100);
        if (m_device.isEmpty())
            m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return m_device;
    }
    QString trace() const { return m_trace; }
    qint64 processId() const { return m_process.processId(); }
    // Waits for the simulator to end by itself: its exit code, -1 when it did not end or crashed.
    int waitForEnd(int timeoutMs = 5000)
    {
        const bool ended = (m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs))
            && m_process.exitStatus() == QProcess::NormalExit;
        return ended ? m_process.exitCode() : -1;
    }
    // The panel's state as the simulator last wrote it to its "--state" file.
    QJsonObject state() const
    {
        const qsizetype at = m_process.arguments().indexOf(QStringLiteral("--state"));
        return at < 0 ? QJsonObject() : readJsonFile(m_process.arguments().value(at + 1));
    }
    // The simulator has taken `frameText` as one complete frame (not `whole`: a frame that begins so).
    bool waitForFrame(const QString &frameText, bool whole = true)
    {
        const QString line = QStringLiteral(" <- ") + frameText + (whole ? QStringLiteral("\n") : QString());
        return QTest::qWaitFor([&] { return m_trace.contains(line); }, 5000);
    }

    // Waits for `text` in the trace with no events running: a line the test holds open is not read meanwhile.
    bool waitForTraceUnread(const QString &text)
    {
        const QDeadlineTimer deadline(5000);
        m_process.setReadChannel(QProcess::StandardError);
        while (!m_trace.contains(text) && m_process.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        return m_trace.contains(text);
    }

private:
    mutable QProcess m_process;
    mutable QString m_device;
    QString m_trace;
};
