#include "zonemessages.h"

#include "panelframes.h"
#include "panelsettings.h"

namespace {

bool isZone(const QString &zone)
{
    return SettingsLists::zoneNumbers().contains(zone);
}

Encoded refused(const char *message)
{
    return Encoded{QString(), QLatin1String(message)};
}

const char ZoneRefusal[] = "Please choose zone number 1, 2 or 3!";

} // namespace

Encoded ZoneMessageFrame(const QString &zone, const QString &text)
{
    if (text.isEmpty())
        return refused("Please input message content!");
    if (!isZone(zone))
        return refused(ZoneRefusal);
    if (text.size() > ZoneMessages::MaxTextBytes)
        return refused("Message content is longer than 255 characters (a line break counts as two)!");
    const Encoded characters = TextHex(text);
    if (!characters.ok())
        return refused("Message content can only hold characters that fit in one byte!");
    const int command = zone.toInt() + PanelFrames::ZoneCommandOffset;
    return Encoded{QStringLiteral("FF") + NumHex(QString::number(command)).text
                       + NumHex(QString::number(characters.text.size() / 2)).text + characters.text,
                   {}};
}

Encoded ZoneUploadFrame(const QString &zone)
{
    if (!isZone(zone))
        return refused(ZoneRefusal);
    return Encoded{QLatin1String(PanelFrames::ZoneUploadPrefix) + NumHex(zone).text, {}};
}
