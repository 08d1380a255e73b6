#include "replyplan.h"

#include <QRandomGenerator>
#include <algorithm>

namespace {

const int MaxPieces = 5;

WriteUnit cut(const QByteArray &bytes, QRandomGenerator &random)
{
    if (bytes.size() < 2)
        return {bytes};
    const int pieces = 2 + random.bounded(std::min<int>(bytes.size(), MaxPieces) - 1);
    // pieces - 1 distinct cut points in 1..size-1.
    QList<int> cuts;
    while (cuts.size() < pieces - 1) {
        const int at = 1 + random.bounded(int(bytes.size()) - 1);
        if (!cuts.contains(at))
            cuts.append(at);
    }
    std::sort(cuts.begin(), cuts.end());
    WriteUnit unit;
    int from = 0;
    for (const int at : cuts) {
        unit.append(bytes.mid(from, at - from));
        from = at;
    }
    unit.append(bytes.mid(from));
    return unit;
}

} // namespace

QList<WriteUnit> planWrites(const QList<QByteArray> &replies, const ReplyShape &shape,
                            QRandomGenerator &random)
{
    QList<QByteArray> writes;
    for (int i = 0; i < replies.size(); ++i) {
        QByteArray write = shape.stray + replies.at(i);
        if (shape.coalesce && i + 1 < replies.size())
            write += shape.stray + replies.at(++i);
        writes.append(write);
        if (shape.twice)
            writes.append(write);
    }
    QList<WriteUnit> units;
    for (const QByteArray &write : writes)
        units.append(shape.split ? cut(write, random) : WriteUnit{write});
    return units;
}
