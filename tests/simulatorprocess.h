#pragma once

// Runs the panel simulator for a test and tells where its line is.

#include <QProcess>
#include <QStringList>
#include <QTest>

class SimulatorProcess
{
public:
    explicit SimulatorProcess(const QStringList &arguments = {})
    {
        m_process.setProgram(QStringLiteral(PANELSIM_PATH));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        for (int i = 0; i < 100 && !m_process.canReadLine(); ++i)
            m_process.waitForReadyRead(100);
        m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~SimulatorProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(1000);
        }
    }
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

    bool isReady() const { return m_device.startsWith(QLatin1Char('/')); }
    QString device() const { return m_device; }

private:
    QProcess m_process;
    QString m_device;
};
