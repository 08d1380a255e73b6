// Arbitrary bytes from the line, in arbitrary pieces, through the receive
// assembly, the reply dispatch and every reply decoder the window uses.
//
// Input: byte 0 seeds the piece lengths; the rest are the line's bytes.
// Besides the sanitizers' findings, the run stops on a broken promise:
// replies that differ with the piece lengths, bytes lost or invented by
// the assembly, a reply number or list position outside what the window's
// controls hold.
#include "fieldcodecs.h"
#include "receiveassembler.h"
#include "replydispatch.h"
#include "settingstransfer.h"
#include "transferprogress.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool isFrameText(const QString &s)
{
    if (s.size() % 2 != 0)
        return false;
    for (const QChar c : s) {
        const ushort u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

struct Decoders
{
    TransferProgress progress;
    ReplyDispatch dispatch{&progress};

    Decoders()
    {
        QObject::connect(&dispatch, &ReplyDispatch::receivingNumberReply, [](int number, const QString &reply) {
            require(number >= 1 && number <= 6, "receiving number index");
            const ReceivingNumberFields f = DecodeReceivingNumber(number, reply);
            require(f.Cmb >= -1 && f.Cmb < int(SettingsLists::alarmTypes().size()), "alarm type position");
            for (const QChar c : f.Txt)
                require(c.isDigit(), "receiving number digits");
        });
        QObject::connect(&dispatch, &ReplyDispatch::gsmNumberReply, [](int number, const QString &reply) {
            require(number >= 1 && number <= 3, "GSM number index");
            DecodeGsmNumber(number, reply);
        });
        QObject::connect(&dispatch, &ReplyDispatch::passwordRelaysReply, [](const QString &reply) {
            const PasswordRelaysFields f = DecodePasswordRelays(reply);
            const int relays = int(SettingsLists::relayStates().size());
            require(f.CmbChanKai >= -1 && f.CmbChanKai < relays, "relay position");
            require(f.CmbChanBi >= -1 && f.CmbChanBi < relays, "relay position");
        });
        QObject::connect(&dispatch, &ReplyDispatch::reminderReply,
                         [](const QString &reply) { DecodeReminder(reply); });
        QObject::connect(&dispatch, &ReplyDispatch::zoneTextReceived,
                         [](const QString &reply) { HexText(reply); });
    }

    void take(const QString &reply)
    {
        const ReplyMatch match = MatchReply(reply);
        require(match.start >= 0 && match.start % 2 == 0
                    && (match.kind == ReplyKind::Unknown || match.start < reply.size()),
                "match position");
        for (int zoneMode : {0, 1}) {
            dispatch.ZoneTextMode = zoneMode;
            dispatch.deliver(reply);
        }
        // The decoders also see texts the dispatch never hands them.
        DecodeReceivingNumber(1, reply);
        DecodePasswordRelays(reply);
        DecodeReminder(reply);
        BytesDigits(reply, reply.size());
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static Decoders decoders;
    uint32_t seed = data[0];
    const QByteArray line(reinterpret_cast<const char *>(data + 1), int(size - 1));

    ReceiveAssembler pieces;
    QStringList replies;
    for (int at = 0; at < line.size();) {
        seed = seed * 1103515245u + 12345u;
        const int length = 1 + int((seed >> 16) % 64);
        replies += pieces.feed(line.mid(at, length));
        at += length;
    }
    for (const QString &reply : replies) {
        require(isFrameText(reply) && reply.endsWith(QLatin1String("0D0A")), "reply text");
        decoders.take(reply);
    }
    require(pieces.pendingBytes() <= ReceiveAssembler::MaxPendingBytes, "pending bound");

    // Below the bound nothing is dropped: the replies and the pending bytes
    // are the line, and one piece gives what many pieces gave.
    if (line.size() <= ReceiveAssembler::MaxPendingBytes) {
        require(replies.join(QString()) + pieces.pendingText() == QString::fromLatin1(line.toHex().toUpper()),
                "bytes kept");
        ReceiveAssembler whole;
        require(whole.feed(line) == replies, "same replies in one piece");
    }
    if (!pieces.pendingText().isEmpty())
        decoders.take(pieces.pendingText()); // a reply cut off by a lost line
    return 0;
}
