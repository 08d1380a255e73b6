// kv4810g-program: the panel operations of the window from the command
// line, on one panel or on several at once, each on its own line and
// session, for installers with many panels and for scripts.
#include "commandoptions.h"
#include "paneljob.h"
#include "progressview.h"
#include "quitsignals.h"
#include "recordsource.h"
#include "recordstore.h"
#include "settingsfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

void printOut(const QString &text)
{
    std::fputs(qPrintable(text), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int printJson(const QJsonObject &json, int status)
{
    std::fputs(QJsonDocument(json).toJson().constData(), stdout);
    return status;
}

// The settings as lines "column: value", for people.
void printSettings(const QJsonObject &settings, const QString &indent = QString())
{
    const QJsonObject json = settings;
    for (auto it = json.begin(); it != json.end(); ++it) {
        if (it.key() != QLatin1String("format"))
            printOut(indent + it.key() + ": "
                     + (it.value().isBool() ? QString(it.value().toBool() ? "true" : "false") : it.value().toString()));
    }
}

int recordsCommand(const Options &options)
{
    const std::unique_ptr<RecordStore> store = openRecords(options.records);
    QString error;
    if (options.arguments.value(1) == QLatin1String("list")) {
        RecordStore::Keys keys;
        if (!store->listKeys(&keys, &error))
            return fail(ExitStatus::RecordStore, error);
        QJsonArray rows;
        for (int i = 0; i < keys.numbers.size(); ++i) {
            rows.append(QJsonObject{{"ID", keys.numbers.at(i)}, {"name", keys.names.value(i)}});
            if (!options.json)
                printOut(keys.numbers.at(i) + '\t' + keys.names.value(i));
        }
        return options.json ? printJson(QJsonObject{{"status", 0}, {"records", rows}}, 0) : 0;
    }
    PanelSettings settings;
    if (!findRecord(*store, options.arguments.value(2), &settings, &error))
        return fail(ExitStatus::RecordStore, error);
    const QJsonObject json = SettingsFile::toJson(settings);
    if (options.json)
        return printJson(json, 0);
    printSettings(json);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv4810g-program"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV4810G_VERSION));

    Options options;
    if (const int status = parseOptions(QCoreApplication::arguments(), &options); status >= 0)
        return status;
    if (options.command == QLatin1String("records"))
        return recordsCommand(options);

    QString error;
    std::vector<JobRequest> requests;
    if (const int status = buildRequests(options, &requests, &error); status != ExitStatus::Done)
        return fail(status, error);

    // The panels' traces, each line marked with its device, in one file
    // readable by its owner only.
    std::unique_ptr<QFile> trace;
    if (!options.tracePath.isEmpty()) {
        trace = std::make_unique<QFile>(options.tracePath);
        const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
        if (!trace->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text, ownerOnly)
            || !trace->setPermissions(ownerOnly))
            return fail(ExitStatus::Usage, QStringLiteral("The trace file %1 cannot be written: %2")
                                               .arg(options.tracePath, trace->errorString()));
    }

    std::vector<std::unique_ptr<PanelJob>> jobs;
    ProgressView view;
    int running = 0;
    for (const JobRequest &request : requests) {
        jobs.push_back(std::make_unique<PanelJob>(request));
        PanelJob *job = jobs.back().get();
        const int row = view.addRow();
        QObject::connect(job, &PanelJob::progress, [&view, job, row](const QString &step, int done, int of) {
            view.show(row, job->device(), step, done, of);
        });
        QObject::connect(job, &PanelJob::said, [&view, job](const QString &text) { view.say(job->device(), text); });
        QObject::connect(job, &PanelJob::finished, [&running, &app] {
            if (--running == 0)
                app.quit();
        });
        if (trace)
            QObject::connect(&job->trace(), &ProtocolTrace::lineAdded, [&trace, job](const QString &line) {
                trace->write((job->device() + ' ' + line + '\n').toUtf8());
                trace->flush();
            });
        ++running;
    }
    // Ctrl+C and the like stop every panel in order: ports closed, locks gone.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, [&jobs] {
        for (auto &job : jobs)
            job->stop(QStringLiteral("stopped by a signal"));
    });
    for (auto &job : jobs)
        job->start();
    if (running > 0)
        app.exec();
    view.close();

    int worst = ExitStatus::Done;
    QJsonArray panels;
    for (auto &job : jobs) {
        worst = qMax(worst, job->status());
        QJsonObject result = job->result();
        panels.append(result);
        if (options.json)
            continue;
        if (options.command == QLatin1String("detect")) {
            for (const QJsonValue port : result.value("ports").toArray()) {
                const QJsonObject p = port.toObject();
                printOut(QStringLiteral("port %1 (%2): %3")
                             .arg(p.value("port").toInt())
                             .arg(p.value("device").toString().isEmpty() ? QStringLiteral("no device")
                                                                         : p.value("device").toString(),
                                  p.value("detail").toString()));
            }
        }
        printOut(QStringLiteral("%1: %2").arg(job->device(), job->summary()));
        if (result.contains("settings") && options.outputPath.isEmpty())
            printSettings(result.value("settings").toObject(), QStringLiteral("  "));
        if (result.contains("text"))
            printOut(QStringLiteral("  zone %1: %2").arg(options.zone, result.value("text").toString()));
        for (const QJsonValue row : result.value("comparison").toArray()) {
            const QJsonObject r = row.toObject();
            printOut(QStringLiteral("  %1: %2 | %3%4")
                         .arg(r.value("setting").toString(), r.value("given").toString(),
                              r.value("panel").toString(), r.value("same").toBool() ? "" : "  [differs]"));
        }
    }
    // Ports without a panel are no failure when every port was asked.
    if (options.command == QLatin1String("detect") && options.all) {
        bool found = false;
        for (auto &job : jobs)
            found |= job->status() == ExitStatus::Done;
        worst = found ? ExitStatus::Done : ExitStatus::NoPanel;
    }
    // What an upload brought: into a file, into the record store.
    if (options.command == QLatin1String("upload") && worst == ExitStatus::Done) {
        const PanelSettings uploaded = jobs.front()->uploaded();
        if (!options.outputPath.isEmpty() && !SettingsFile::write(options.outputPath, uploaded, &error))
            worst = fail(ExitStatus::Usage, error);
        if (!options.saveNumber.isEmpty() && !saveRecord(options.records, options.saveNumber, uploaded, &error))
            worst = fail(ExitStatus::RecordStore, error);
    }
    if (options.json)
        printJson(QJsonObject{{"status", worst}, {"panels", panels}}, worst);
    return worst;
}
