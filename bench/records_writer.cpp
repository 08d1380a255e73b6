// Saves records through the program's store, for the store's fault runs
// (bench/store_faults.py): as a second copy of the program would, and as
// one killed in the middle of its saves.
//   records_writer <file> add <prefix> <count>      numbers <prefix>0 .. , AddOnly
//   records_writer <file> replace <numbers> <rounds> numbers 1..<numbers>, Replace,
//                                                    round r writes generation r
// Every save is reported on standard output ("saved <number> <generation>")
// only after the store has returned.
#include "sqliterecordstore.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

// Every field the generation lands in, so that a row mixing two saves shows.
PanelSettings generation(const QString &number, int g)
{
    PanelSettings s = PanelSettings::startValues();
    const QString mark = QString::number(g);
    s.TxtAni = number;
    s.TxtName = QStringLiteral("n%1 g%2").arg(number, mark);
    for (QString &telephone : s.Txt)
        telephone = mark;
    for (QString &gsm : s.TxtDuanXin)
        gsm = mark;
    s.TxtMiMa = QStringLiteral("%1").arg(g % 10000, 4, 10, QLatin1Char('0'));
    return s;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: records_writer <file> add <prefix> <count> | replace <numbers> <rounds>\n");
        return 2;
    }
    SqliteRecordStore store(args.at(1));
    const bool add = args.at(2) == QLatin1String("add");
    const int count = args.at(4).toInt();
    int failed = 0;
    QString error;
    if (add) {
        for (int i = 0; i < count; ++i) {
            const QString number = args.at(3) + QString::number(i);
            if (store.save(generation(number, 0), RecordStore::SaveMode::AddOnly, &error)
                != RecordStore::Outcome::Added) {
                ++failed;
                std::fprintf(stderr, "%s: %s\n", qPrintable(number), qPrintable(error));
            }
        }
    } else {
        const int numbers = args.at(3).toInt();
        for (int g = 1; g <= count; ++g) {
            for (int n = 1; n <= numbers; ++n) {
                const RecordStore::Outcome outcome =
                    store.save(generation(QString::number(n), g), RecordStore::SaveMode::Replace, &error);
                if (outcome != RecordStore::Outcome::Replaced && outcome != RecordStore::Outcome::Added) {
                    ++failed;
                    std::fprintf(stderr, "%d: %s\n", n, qPrintable(error));
                    continue;
                }
                std::printf("saved %d %d\n", n, g);
                std::fflush(stdout);
            }
        }
    }
    std::printf("failed %d\n", failed);
    return failed == 0 ? 0 : 1;
}
