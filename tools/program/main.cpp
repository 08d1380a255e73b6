// kv4810g-program: the panel operations of the window from the command
// line, on one panel or on several at once, each on its own line and
// session, for installers with many panels and for scripts.
#include "commandoptions.h"
#include "consoleoutput.h"
#include "historyview.h"
#include "paneljob.h"
#include "progressview.h"
#include "quitsignals.h"
#include "recordsource.h"
#include "recordstore.h"
#include "settingsfile.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSaveFile>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The status, made the output's own when standard output failed.
int closeOutput(ConsoleOutput &out, int status)
{
    QString error;
    return out.finish(&error) ? status : qMax(status, fail(ExitStatus::Unwritten, error));
}

// The end before any panel: the message on standard error and, with
// --json, in the one document on standard output.
int endEarly(ConsoleOutput &out, bool json, int status, const QString &message)
{
    if (!message.isEmpty())
        fail(status, message);
    if (json)
        out.json(QJsonObject{{"status", status}, {"message", message}, {"panels", QJsonArray()}});
    return closeOutput(out, status);
}

// The settings as lines "column: value", for people.
void printSettings(ConsoleOutput &out, const QJsonObject &settings, const QString &indent = QString())
{
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        if (it.key() != QLatin1String("format"))
            out.line(indent + it.key() + ": "
                     + (it.value().isBool() ? QString(it.value().toBool() ? "true" : "false") : it.value().toString()));
    }
}

int recordsCommand(ConsoleOutput &out, const Options &options)
{
    const std::unique_ptr<RecordStore> store = openRecords(options.records);
    QString error;
    if (options.arguments.value(1) == QLatin1String("list")) {
        RecordStore::Keys keys;
        if (!store->listKeys(&keys, &error))
            return endEarly(out, options.json, ExitStatus::RecordStore, error);
        QJsonArray rows;
        for (int i = 0; i < keys.numbers.size(); ++i) {
            rows.append(QJsonObject{{"ID", keys.numbers.at(i)}, {"name", keys.names.value(i)}});
            if (!options.json)
                out.line(oneLine(keys.numbers.at(i)) + '\t' + oneLine(keys.names.value(i)));
        }
        if (options.json)
            out.json(QJsonObject{{"status", 0}, {"records", rows}});
        return closeOutput(out, ExitStatus::Done);
    }
    PanelSettings settings;
    if (!findRecord(*store, options.arguments.value(2), &settings, &error))
        return endEarly(out, options.json, ExitStatus::RecordStore, error);
    const QJsonObject json = SettingsFile::toJson(settings);
    if (options.json)
        out.json(json);
    else
        printSettings(out, json);
    return closeOutput(out, ExitStatus::Done);
}

// The programming history, newest first.
int historyCommand(ConsoleOutput &out, const Options &options)
{
    QList<HistoryEntry> entries;
    QString error;
    if (!openRecords(options.records)->readHistory(options.history, &entries, &error))
        return endEarly(out, options.json, ExitStatus::RecordStore, error);
    QJsonArray shown;
    for (const HistoryEntry &entry : std::as_const(entries)) {
        if (options.json)
            shown.append(HistoryView::toJson(entry));
        else
            out.line(HistoryView::line(entry));
    }
    if (options.json)
        out.json(QJsonObject{{"status", 0}, {"entries", shown}});
    return closeOutput(out, ExitStatus::Done);
}

// What a panel's result says to people.
void printResult(ConsoleOutput &out, const Options &options, const PanelJob &job)
{
    const QJsonObject result = job.result();
    if (options.command == QLatin1String("detect")) {
        for (const QJsonValue port : result.value("ports").toArray()) {
            const QJsonObject p = port.toObject();
            out.line(QStringLiteral("port %1 (%2): %3")
                         .arg(p.value("port").toInt())
                         .arg(p.value("device").toString().isEmpty() ? QStringLiteral("no device")
                                                                     : p.value("device").toString(),
                              p.value("detail").toString()));
        }
    }
    out.line(QStringLiteral("%1: %2").arg(job.device(), job.summary()));
    if (result.contains("history"))
        out.line(QStringLiteral("  ") + result.value("history").toString());
    if (result.contains("settings") && options.outputPath.isEmpty())
        printSettings(out, result.value("settings").toObject(), QStringLiteral("  "));
    if (result.contains("text"))
        out.line(QStringLiteral("  zone %1: %2").arg(options.zone, result.value("text").toString()));
    for (const QJsonValue row : result.value("comparison").toArray()) {
        const QJsonObject r = row.toObject();
        out.line(QStringLiteral("  %1: %2 | %3%4")
                     .arg(r.value("setting").toString(), r.value("given").toString(), r.value("panel").toString(),
                          r.value("same").toBool() ? "" : "  [differs]"));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv4810g-program"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV4810G_VERSION));
    ignoreBrokenPipes();
    ConsoleOutput out;

    Options options;
    QString error;
    if (const int status = parseOptions(QCoreApplication::arguments(), &options, &error); status >= 0) {
        if (!options.shown.isEmpty())
            out.line(options.shown);
        const int ended = endEarly(out, options.json && options.shown.isEmpty(), status, error);
        if (!error.isEmpty())
            std::fprintf(stderr, "Try '%s --help' for more information.\n", qPrintable(QCoreApplication::applicationName()));
        return ended;
    }
    if (options.command == QLatin1String("records"))
        return recordsCommand(out, options);
    if (options.command == QLatin1String("history"))
        return historyCommand(out, options);

    std::vector<JobRequest> requests;
    if (const int status = buildRequests(options, &requests, &error); status != ExitStatus::Done)
        return endEarly(out, options.json, status, error);
    // Every panel's operation leaves its entry in the history of the store in use.
    const std::unique_ptr<RecordStore> history = openRecords(options.records);
    for (JobRequest &request : requests)
        request.history = history.get();

    // The panels' traces, each line marked with its device, in one file
    // readable by its owner only, written whole when the panels are done.
    std::unique_ptr<QSaveFile> trace;
    if (!options.tracePath.isEmpty()) {
        trace = std::make_unique<QSaveFile>(options.tracePath);
        if (!trace->open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered) // failures seen when written
            || !trace->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return endEarly(out, options.json, ExitStatus::Unwritten,
                            QStringLiteral("The trace file %1 cannot be written: %2")
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
                trace->write((job->device() + ' ' + line + '\n').toUtf8()); // a failure fails the commit
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

    // What an upload brought: into a file, into the record store.
    PanelJob &first = *jobs.front();
    if (options.command == QLatin1String("upload") && first.status() == ExitStatus::Done) {
        const PanelSettings uploaded = first.uploaded();
        if (!options.outputPath.isEmpty() && !SettingsFile::write(options.outputPath, uploaded, &error))
            first.failAfter(fail(ExitStatus::Unwritten, error), error);
        if (!options.saveNumber.isEmpty() && !saveRecord(options.records, options.saveNumber, uploaded, &error))
            first.failAfter(fail(ExitStatus::RecordStore, error), error);
    }
    if (trace && !trace->commit()) {
        error = QStringLiteral("The trace file %1 cannot be written: %2").arg(options.tracePath, trace->errorString());
        for (auto &job : jobs)
            job->failAfter(ExitStatus::Unwritten, error);
        fail(ExitStatus::Unwritten, error);
    }

    int worst = ExitStatus::Done;
    QJsonArray panels;
    for (auto &job : jobs) {
        worst = qMax(worst, job->status());
        panels.append(job->result());
        if (!options.json)
            printResult(out, options, *job);
    }
    // Ports without a panel are no failure when every port was asked.
    if (options.command == QLatin1String("detect") && options.all) {
        bool found = false;
        for (auto &job : jobs)
            found |= job->status() == ExitStatus::Done;
        worst = found ? ExitStatus::Done : ExitStatus::NoPanel;
    }
    if (options.json)
        out.json(QJsonObject{{"status", worst}, {"panels", panels}});
    return closeOutput(out, worst);
}
