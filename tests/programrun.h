#pragma once
// One of the product's programs run as a shell would run it, and what it ended with.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <csignal>
#include <functional>
#include <sys/resource.h>

struct Run
{
    int status = -1; // -1: it did not end by itself
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
    // The result of the i-th panel in the console's JSON.
    QJsonObject panel(int i = 0) const { return json().value("panels").toArray().at(i).toObject(); }
};

// For ProgramRun's `child`: the program's files may not grow past `bytes`, as on a disk that fills; a write beyond
// fails (EFBIG, where a full disk gives ENOSPC), alike on every machine, root or not.
inline std::function<void()> fileSizeBound(rlim_t bytes)
{
    return [bytes] {
        const rlimit limit{bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) == 0)
            ::signal(SIGXFSZ, SIG_IGN);
    };
}

// Started with nothing on standard input, no display, and the console's panel password in the environment; `env`
// adds "NAME=value" or, as "NAME=", removes. An argument ">FILE" sends standard output there; `child` runs in the
// child before the program starts. finished() awaits its end.
class ProgramRun
{
public:
    ProgramRun(const QString &path, QStringList arguments, const QStringList &env = {},
               const std::function<void()> &child = {})
    {
        for (const QString &argument : arguments.filter(QRegularExpression("^>"))) {
            m_process.setStandardOutputFile(argument.mid(1));
            arguments.removeOne(argument);
        }
        m_process.setChildProcessModifier([child] {
            ::signal(SIGPIPE, SIG_DFL); // as a shell starts it, whatever this test process ignores
            if (child)
                child();
        });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.insert("KV4810G_PASSWORD", "1234");
        for (const QString &setting : env) {
            if (setting.endsWith('='))
                environment.remove(setting.chopped(1));
            else
                environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
        }
        m_process.setProcessEnvironment(environment);
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.start(path, arguments);
    }
    Run finished()
    {
        const bool ended = (m_process.state() == QProcess::NotRunning || m_process.waitForFinished(60000))
            && m_process.error() != QProcess::FailedToStart && m_process.exitStatus() == QProcess::NormalExit;
        return {ended ? m_process.exitCode() : -1, QString::fromUtf8(m_process.readAllStandardOutput()),
                QString::fromUtf8(m_process.readAllStandardError())};
    }

    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
};
