// kv4810g-copy-records FROM TO: copies every record of one store into
// another, each a records file or a postgresql:// address, so a technician
// who started with the local file can move to the shared store (or back).
// A record whose number the target already holds is reported and left as
// it is at the target.
#include "recordstore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSet>
#include <cstdio>

namespace {

void say(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
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
        "technician who kept records alone can move them to the shared store, or take a copy home. A record "
        "whose number the target already holds is reported and left as it is there.\n\n"
        "Exit status: 0 every record copied; 1 some left out; 2 a store failed."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FROM"),
                                 QStringLiteral("A records file (4810G.mdb) or postgresql://user@host:port/dbname."));
    parser.addPositionalArgument(QStringLiteral("TO"), QStringLiteral("The same, where the records go."));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) {
        say(QStringLiteral("kv4810g-copy-records: give FROM and TO\nTry 'kv4810g-copy-records --help' for more "
                           "information."));
        return 2;
    }
    const std::unique_ptr<RecordStore> from = openRecordStore(args.at(0));
    const std::unique_ptr<RecordStore> to = openRecordStore(args.at(1));
    QString error;
    RecordStore::Keys keys;
    if (!from->listKeys(&keys, &error)) {
        say(error);
        return 2;
    }
    int copied = 0;
    int kept = 0;
    QSet<QString> seen; // numbers match whatever their letter case
    for (const QString &number : keys.numbers) {
        if (seen.contains(number.toLower())) {
            say(QStringLiteral("No. \"%1\" appears more than once in %2: only its first record is copied.")
                    .arg(number, from->location()));
            ++kept;
            continue;
        }
        seen.insert(number.toLower());
        PanelSettings record;
        if (from->find(RecordStore::Key::Number, number, &record, &error) != RecordStore::Outcome::Found) {
            say(error);
            return 2;
        }
        switch (to->save(record, RecordStore::SaveMode::AddOnly, &error)) {
        case RecordStore::Outcome::Added:
            ++copied;
            break;
        case RecordStore::Outcome::Exists:
            say(QStringLiteral("No. \"%1\" exists in %2 and is left as it is there.").arg(number, to->location()));
            ++kept;
            break;
        default:
            say(error);
            say(QStringLiteral("%1 records copied before the failure.").arg(copied));
            return 2;
        }
    }
    say(QStringLiteral("%1 records copied from %2 to %3, %4 not copied.")
            .arg(copied)
            .arg(from->location(), to->location())
            .arg(kept));
    return kept == 0 ? 0 : 1;
}
