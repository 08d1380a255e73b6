// kv4810g-copy-records [--keep-going] FROM TO: copies every record of one
// store into another, each a records file or a postgresql:// address, so
// a technician who started with the local file can move to the shared
// store (or back). All records go over in one transaction: a record that
// cannot go over (its number taken at the target, no number, a number the
// source holds twice) leaves the target as it was, unless --keep-going
// copies the others. Every record not copied is reported with its reason.
// The programming history goes over after the records (--no-history
// leaves it), without the entries the target holds already.
#include "recordstore.h"
#include "serveraddress.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <cstdio>

namespace {

enum ExitStatus { Copied = 0, NotAllCopied = 1, Usage = 2, SourceFailed = 3, TargetFailed = 4, HistoryFailed = 5 };

// Every entry, oldest first.
bool wholeHistory(RecordStore &store, QList<HistoryEntry> *entries, QString *error)
{
    HistoryQuery all;
    all.limit = std::numeric_limits<int>::max();
    if (!store.readHistory(all, entries, error))
        return false;
    std::reverse(entries->begin(), entries->end());
    return true;
}

// What tells one entry from another, whatever its id in a store.
QString sameEntry(const HistoryEntry &e)
{
    return QStringList{e.at.toString(Qt::ISODateWithMs), e.host, e.login, e.program, e.device, e.operation, e.outcome}
        .join(QLatin1Char('\x1f'));
}

void say(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

QString describe(int row, const PanelSettings &record)
{
    return QStringLiteral("Row %1 (No. \"%2\", name \"%3\")").arg(row + 1).arg(record.TxtAni, record.TxtName);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv4810g-copy-records"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV4810G_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies every record of the KV-4810G programming software from one record store to another, so that a "
        "technician who kept records alone can move them to the shared store, or take a copy home. The records go "
        "over in one transaction: when one of them cannot (its number is stored at the target already, it has no "
        "number, or the source holds its number twice), nothing is written, unless --keep-going copies the "
        "others. Numbers match without regard to the letter case of A to Z. Every record not copied is named with "
        "its reason.\n\n"
        "Exit status: 0 every record copied; 1 a record not copied (nothing written without --keep-going); "
        "2 wrong arguments; 3 the source cannot be read; 4 the target failed, nothing written; 5 the records were "
        "copied, the history was not."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption keepGoing(QStringLiteral("keep-going"),
                                       QStringLiteral("Copy the records that can go over when others cannot."));
    parser.addOption(keepGoing);
    const QCommandLineOption noHistory(QStringLiteral("no-history"),
                                       QStringLiteral("Copy the records only, not the programming history."));
    parser.addOption(noHistory);
    parser.addPositionalArgument(QStringLiteral("FROM"),
                                 QStringLiteral("A records file (4810G.mdb) or postgresql://user@host:port/dbname."));
    parser.addPositionalArgument(QStringLiteral("TO"), QStringLiteral("The same, where the records go."));
    if (!parser.parse(app.arguments())) {
        say(QStringLiteral("kv4810g-copy-records: %1\nTry 'kv4810g-copy-records --help' for more information.")
                .arg(parser.errorText()));
        return Usage;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Copied);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) {
        say(QStringLiteral("kv4810g-copy-records: give FROM and TO\nTry 'kv4810g-copy-records --help' for more "
                           "information."));
        return Usage;
    }
    // A records file that is not there would read as one without records.
    if (!isServerAddress(args.at(0)) && !QFileInfo(args.at(0)).isFile()) {
        say(QStringLiteral("The record file %1 %2, nothing was copied.")
                .arg(args.at(0), QFileInfo::exists(args.at(0)) ? QStringLiteral("is not a file")
                                                                : QStringLiteral("does not exist")));
        return SourceFailed;
    }
    const std::unique_ptr<RecordStore> from = openRecordStore(args.at(0));
    const std::unique_ptr<RecordStore> to = openRecordStore(args.at(1));
    QString error;
    QList<PanelSettings> rows;
    QList<HistoryEntry> history;
    const bool withHistory = !parser.isSet(noHistory);
    if (!from->readAll(&rows, &error) || (withHistory && !wholeHistory(*from, &history, &error))) {
        say(error);
        say(QStringLiteral("Nothing was copied."));
        return SourceFailed;
    }

    // Rows that cannot go over whatever the target holds.
    QList<PanelSettings> records;
    QList<int> sourceRow;
    QStringList refused;
    QHash<QString, int> firstRow;
    for (int row = 0; row < rows.size(); ++row) {
        const PanelSettings &record = rows.at(row);
        const QString key = RecordStore::foldKey(record.TxtAni);
        if (record.TxtAni.isEmpty()) {
            refused << describe(row, record) + QStringLiteral(": it has no number.");
        } else if (firstRow.contains(key)) {
            refused << describe(row, record)
                    + QStringLiteral(": row %1 of %2 has the same number.").arg(firstRow.value(key) + 1).arg(from->location());
        } else {
            firstRow.insert(key, row);
            records << record;
            sourceRow << row;
        }
    }
    const bool goOn = parser.isSet(keepGoing);
    for (const QString &line : refused)
        say(line + QStringLiteral(" Not copied."));
    if (!refused.isEmpty() && !goOn) {
        say(QStringLiteral("Nothing was copied to %1: %2 of %3 records cannot go over (--keep-going copies the "
                           "others).")
                .arg(to->location())
                .arg(refused.size())
                .arg(rows.size()));
        return NotAllCopied;
    }

    QList<RecordStore::Outcome> outcomes;
    QStringList reasons;
    const bool written = to->addAll(records, goOn, &outcomes, &reasons, &error);
    int notCopied = refused.size();
    for (int i = 0; i < outcomes.size(); ++i) {
        const QString row = describe(sourceRow.at(i), records.at(i));
        if (outcomes.at(i) == RecordStore::Outcome::Exists)
            say(row + QStringLiteral(": the number is stored in %1 already and is left as it is there. Not copied.")
                          .arg(to->location()));
        else if (outcomes.at(i) == RecordStore::Outcome::Failed)
            say(row + QStringLiteral(": ") + reasons.value(i) + QStringLiteral(" Not copied."));
        notCopied += outcomes.at(i) != RecordStore::Outcome::Added;
    }
    if (!written) {
        const bool recordRefused = !goOn && !outcomes.isEmpty() && outcomes.last() != RecordStore::Outcome::Added;
        if (!recordRefused)
            say(error);
        say(recordRefused ? QStringLiteral("Nothing was copied (--keep-going copies the others).")
                          : QStringLiteral("Nothing was copied."));
        return recordRefused ? NotAllCopied : TargetFailed;
    }
    say(QStringLiteral("%1 of %2 records copied from %3 to %4.")
            .arg(rows.size() - notCopied)
            .arg(rows.size())
            .arg(from->location(), to->location()));
    if (withHistory && !history.isEmpty()) {
        QList<HistoryEntry> held;
        QSet<QString> there;
        error.clear();
        if (wholeHistory(*to, &held, &error)) {
            for (const HistoryEntry &e : std::as_const(held))
                there.insert(sameEntry(e));
            history.removeIf([&there](const HistoryEntry &e) { return there.contains(sameEntry(e)); });
        }
        if (error.isEmpty() && !history.isEmpty() && !to->addHistory(&history, &error))
            history.clear();
        if (!error.isEmpty()) {
            say(error);
            say(QStringLiteral("The history was not copied."));
            return HistoryFailed;
        }
        say(QStringLiteral("%1 history entries copied.").arg(history.size()));
    }
    return notCopied == 0 ? Copied : NotAllCopied;
}
