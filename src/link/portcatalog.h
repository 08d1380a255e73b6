#pragma once

#include <QString>
#include <QStringList>

// Maps the port numbers 1 to 16 of the panel search to device names.
// Windows: COMn. Elsewhere: the serial ports the system lists, sorted by
// device path. KV4810G_PORTS (device paths separated as in PATH) replaces
// that list; an empty entry leaves its number without a device.
namespace PortCatalog {

inline constexpr int FirstPort = 1;
inline constexpr int LastPort = 16;

QStringList devices();

// The device behind a port number, or an empty string when there is none.
QString deviceForPort(int number);

} // namespace PortCatalog
