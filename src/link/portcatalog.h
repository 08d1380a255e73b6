#pragma once

#include <QString>
#include <QStringList>

// Maps the port numbers 1 to 16 of the panel search to device names.
// Windows: COMn. Elsewhere: the serial ports the system lists, in the
// order of searchOrder(). KV4810G_PORTS (device paths separated as in PATH)
// replaces that list; an empty entry leaves its number without a device.
namespace PortCatalog {

inline constexpr int FirstPort = 1;
inline constexpr int LastPort = 16;

QStringList devices();

// The device behind a port number, or an empty string when there is none.
QString deviceForPort(int number);

// The system's serial devices in the order the search numbers them: USB
// adapters (/dev/ttyUSB*, /dev/ttyACM*) first, so that the usual cable is
// port 1, then any other device, and last the built-in /dev/ttyS* ports,
// most of which have no UART behind them. Within each kind, names sort by
// their text and a trailing number by its value (ttyUSB2 before ttyUSB10).
QStringList searchOrder(QStringList devices);

} // namespace PortCatalog
