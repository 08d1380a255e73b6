#pragma once

#include <QByteArray>
#include <QList>

class QRandomGenerator;

// How replies are shaped into writes on the line, for the fault modes.
struct ReplyShape
{
    QByteArray stray;      // bytes put in front of every reply
    bool coalesce = false; // two consecutive replies go out in one write
    bool split = false;    // every write is cut into random pieces
    bool twice = false;    // every write goes out a second time
};

// One unit leaves after the pause between replies; its pieces are
// separate writes that follow each other without a pause.
using WriteUnit = QList<QByteArray>;

// Units for a batch of replies given at once (e.g. the eleven replies of
// an upload). Coalescing pairs replies within the batch; an odd last
// reply goes alone. Splitting cuts a unit of n >= 2 bytes into 2 to
// min(n, 5) non-empty pieces.
QList<WriteUnit> planWrites(const QList<QByteArray> &replies, const ReplyShape &shape,
                            QRandomGenerator &random);
