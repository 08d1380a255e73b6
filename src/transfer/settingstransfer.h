#pragma once

#include "panelsettings.h"
#include "replymatch.h"
#include "settingscomparison.h"

#include <QStringList>

// The eleven frames of a settings download, or the message that refuses it.
struct DownloadFrames
{
    QStringList frames; // "FF02" .. "FF0C", in sending order
    QString refusal;    // the message for the user; empty when the frames are good
    bool ok() const { return refusal.isEmpty(); }
};

// Selects the relay state item whose text the list shows ("disconnect",
// then "pull in", exact case); any other text keeps its position.
ListField AlignRelayList(const ListField &relay);
// The settings as a download sends them: both relay lists aligned.
PanelSettings AlignRelayLists(PanelSettings settings);

// Checks and encodes a whole download in one go, so that a refused
// download sends nothing. Refused: a password that is not four decimal
// digits ("password format error!"), an interval that is not two
// decimal digits ("remind interval format error!"), a receiving or
// GSM programming number holding anything but decimal digits (the field's
// label followed by "format error!"). The relay lists are taken as they
// are: align them first (AlignRelayLists).
DownloadFrames SettingsDownloadFrames(const PanelSettings &settings);

// What one settings reply carries, decoded for the controls it fills. A
// value that does not fit its control leaves a list with nothing selected
// (position -1) or a box unchecked.
struct ReceivingNumberFields // "FF51" .. "FF56"
{
    int number = 0; // 1 .. 6
    QString Txt;
    int Cmb = -1;   // alarm type list position
    int typeCode = -1; // the type byte as it came; -1 when the reply ends before it
};

struct GsmNumberFields // "FF57" .. "FF59"
{
    int number = 0; // 1 .. 3
    QString TxtDuanXin;
};

struct PasswordRelaysFields // "FF5A"
{
    QString TxtMiMa;
    int CmbChanKai = -1;
    int CmbChanBi = -1;
    int chanKaiCode = -1; // the relay bytes as they came; -1 when missing
    int chanBiCode = -1;
};

struct ReminderFields // "FF5B"
{
    QString TxtTian;
    std::array<bool, 6> CkShangBao{};
    std::array<bool, 6> CkTel{};
    bool CkNX = false;
};

// `number` is the one the reply code names (the dispatch matched it).
ReceivingNumberFields DecodeReceivingNumber(int number, const QString &reply);
GsmNumberFields DecodeGsmNumber(int number, const QString &reply);
PasswordRelaysFields DecodePasswordRelays(const QString &reply);
ReminderFields DecodeReminder(const QString &reply);

// The one decoder of the settings replies, for the upload, the comparison
// and the window alike: a reply ("FF51" .. "FF5B", matched by MatchReply)
// goes into `reading` as the fields of its group, the list codes as they
// came, and the group marked received. Returns the group
// (SettingsGroups), or -1 for a reply that carries no settings.
int DecodeSettingsReply(const ReplyMatch &match, const QString &text, PanelReading &reading);

// What the panel holds after a download of `settings`, as an upload reads
// it back: each download frame taken as the reply for its group, the bytes
// as they went, through the one decoder. A number of zeros, for one, is
// announced with the count 00 and comes back empty.
PanelReading HeldAfterDownload(const PanelSettings &settings);

// The comparison of the window with a reading of the panel: a setting is
// the same when the panel holds what a download of the window would leave
// there; the window's values are shown as it shows them. Settings that a
// download would refuse are compared as they stand.
QList<ComparisonRow> CompareWithPanel(const PanelSettings &window, const PanelReading &panel);
