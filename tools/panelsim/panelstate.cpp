#include "panelstate.h"

bool PanelState::operator==(const PanelState &o) const
{
    return receivingNumbers == o.receivingNumbers && reportTypes == o.reportTypes
        && gsmNumbers == o.gsmNumbers && wirelessPassword == o.wirelessPassword
        && relayNO == o.relayNO && relayNC == o.relayNC && interval == o.interval
        && reportFlags == o.reportFlags && lineFaultFlags == o.lineFaultFlags
        && inside == o.inside && zoneTexts == o.zoneTexts;
}
