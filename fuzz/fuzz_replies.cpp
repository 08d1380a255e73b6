// Arbitrary bytes from the line, in arbitrary pieces, through the receive
// assembly, the session's reply dispatch and every reply decoder.
//
// Input: byte 0 seeds the piece lengths (and, when it is FF,
// repeats the line past the receive bound); the rest are the line's bytes.
// Besides the sanitizers' findings, the run stops on a broken promise:
// replies that differ with the piece lengths, bytes lost or invented by
// the assembly, a reply number or list position outside what the window's
// controls hold.
#include "fieldcodecs.h"
#include "panelsession.h"
#include "receiveassembler.h"
#include "replymatch.h"
#include "settingstransfer.h"

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

// The session as the window and the console program use it, with no port
// open: every reply goes through its dispatch and the one settings decoder.
struct Decoders
{
    PanelSession session;

    Decoders()
    {
        // A zone text's answer ends when the event loop next runs, after
        // every input, so that it never grows from input to input.
        session.setZoneAnswerQuietMs(0);
        QObject::connect(&session, &PanelSession::settingsReceived, [](int group, const PanelSettings &s) {
            require(group >= 0 && group < SettingsGroups::Count, "settings group");
            for (int i = 0; i < 6; ++i) {
                require(s.Cmb[i].position >= -1 && s.Cmb[i].position < int(SettingsLists::alarmTypes().size()),
                        "alarm type position");
                for (const QChar c : s.Txt[i])
                    require(c.isDigit(), "receiving number digits");
            }
            const int relays = int(SettingsLists::relayStates().size());
            require(s.CmbChanKai.position >= -1 && s.CmbChanKai.position < relays, "relay position");
            require(s.CmbChanBi.position >= -1 && s.CmbChanBi.position < relays, "relay position");
        });
    }

    void take(const QString &reply)
    {
        const ReplyMatch match = MatchReply(reply);
        require(match.start >= 0 && match.start % 2 == 0
                    && (match.kind == ReplyKind::Unknown || match.start < reply.size()),
                "match position");
        session.takeReply(reply);
        // The decoders also see texts the dispatch never hands them, the
        // zone text's among them.
        HexText(reply);
        DecodeReceivingNumber(1, reply);
        DecodePasswordRelays(reply);
        DecodeReminder(reply);
    }
};

} // namespace

// A small quarantine keeps the run's memory low at no cost in speed. No
// allocation stacks: Qt is built without frame pointers, so the fast
// unwinder reads a different "stack" through it nearly every time, and the
// sanitizer keeps each one for good (half a kilobyte an input, and a tenth
// of the time). A report still shows where the fault happened; for the
// allocation's stack, run the saved input again with
// ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=32:malloc_context_size=0";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

// A repeated line's replies repeat too: the decoders read the first few,
// and replies longer than an unrepeated input can make, the decoders read
// as they read the shorter ones. Decoding the rest would only slow the run
// down; the assembly still gets every byte.
constexpr int DecodedChars = 2 * 600;
constexpr int DecodedOfRepeated = 3;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static Decoders decoders;
    uint32_t seed = data[0];
    QByteArray line(reinterpret_cast<const char *>(data + 1), int(size - 1));
    // An input that begins with FF stands for a babbling line: its bytes repeated
    // past the receive bound. Inputs stay short, so that libFuzzer mutates
    // them quickly, and the bound is still crossed often.
    const bool repeated = data[0] == 0xFF && !line.isEmpty();
    if (repeated) {
        const QByteArray once = line;
        while (line.size() <= ReceiveAssembler::MaxPendingBytes + 64)
            line += once;
    }

    ReceiveAssembler pieces;
    QStringList replies;
    for (int at = 0; at < line.size();) {
        seed = seed * 1103515245u + 12345u;
        const int length = 1 + int((seed >> 16) % 64);
        replies += pieces.feed(line.mid(at, length));
        at += length;
    }
    for (int i = 0; i < replies.size(); ++i) {
        const QString &reply = replies.at(i);
        require(isFrameText(reply) && reply.endsWith(QLatin1String("0D0A")), "reply text");
        if (reply.size() <= DecodedChars && (!repeated || i < DecodedOfRepeated))
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
    if (!pieces.pendingText().isEmpty() && pieces.pendingText().size() <= DecodedChars)
        decoders.take(pieces.pendingText()); // a reply cut off by a lost line
    QCoreApplication::processEvents();
    return 0;
}
