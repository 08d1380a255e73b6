#pragma once

#include <QObject>
#include <QString>
#include <functional>

class TransferProgress;

// What a complete reply is, by its leading digits.
enum class ReplyKind {
    Unknown,         // dropped silently
    DataError,       // "FF5000"
    PanelAnswer,     // "FF6F"
    PasswordAccepted,
    PasswordRefused,
    ReceivingNumber, // "FF51".."FF56", index 1..6
    GsmNumber,       // "FF57".."FF59", index 1..3
    PasswordRelays,  // "FF5A"
    Reminder,        // "FF5B"
    Ignored,         // "FF5C"
};

struct ReplyMatch
{
    ReplyKind kind = ReplyKind::Unknown;
    int index = 0;
    int start = 0; // digit position of the code in the reply text
};

// Matches a reply code, in the order of the dispatch table, at the start of
// a reply text. Noise on the line (an adapter opening, say) can stand in
// front of a reply: a text that begins with no known code is matched at the
// first later byte where a known code begins.
ReplyMatch MatchReply(const QString &reply);

// Hands every complete reply to its consumer: the zone message text while
// ZoneTextMode is 1, otherwise the action of its reply code.
class ReplyDispatch : public QObject
{
    Q_OBJECT
public:
    explicit ReplyDispatch(TransferProgress *progress, QObject *parent = nullptr);

    // 1 while a zone message upload awaits its text; 0 otherwise.
    int ZoneTextMode = 0;
    // 1 once the panel has answered the detection frame.
    int PanelFound = 0;

    void deliver(const QString &reply);
    void DispatchReply(const QString &reply);

    // While a diversion is set, deliver() hands every complete reply to it
    // and to nothing else, whatever ZoneTextMode says (a comparison with
    // the panel gathers the replies this way). nullptr ends it.
    void setDiversion(std::function<void(const QString &reply)> consumer);
    bool isDiverted() const { return bool(m_diversion); }

signals:
    void zoneTextReceived(const QString &reply);
    void dataError();
    void passwordAccepted(const QString &reply);
    void passwordRefused(const QString &reply);
    void receivingNumberReply(int number, const QString &reply);
    void gsmNumberReply(int number, const QString &reply);
    void passwordRelaysReply(const QString &reply);
    void reminderReply(const QString &reply);

private:
    TransferProgress *m_progress;
    std::function<void(const QString &)> m_diversion;
};
