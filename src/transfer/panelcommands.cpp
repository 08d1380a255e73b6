#include "panelcommands.h"

#include "panelframes.h"

Encoded PasswordFrame(const QString &password)
{
    Encoded codes = AscHex(password);
    if (codes.ok())
        codes.text.prepend(QLatin1String(PanelFrames::PasswordPrefix));
    return codes;
}
