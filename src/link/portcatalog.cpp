#include "portcatalog.h"

#include <QDir>
#include <QSerialPortInfo>
#include <QtGlobal>
#include <algorithm>
#include <tuple>

namespace PortCatalog {

namespace {

int kindRank(const QString &device)
{
    if (device.startsWith(QLatin1String("/dev/ttyUSB")))
        return 0;
    if (device.startsWith(QLatin1String("/dev/ttyACM")))
        return 1;
    if (device.startsWith(QLatin1String("/dev/ttyS")))
        return 3;
    return 2;
}

// The name without its trailing digits, and the value of those digits
// (-1 when there are none).
std::tuple<int, QString, qlonglong, QString> sortKey(const QString &device)
{
    qsizetype stem = device.size();
    while (stem > 0 && device.at(stem - 1).isDigit())
        --stem;
    const QString digits = device.mid(stem);
    // Long runs of digits compare as text after their value.
    const qlonglong value = digits.isEmpty() || digits.size() > 18 ? -1 : digits.toLongLong();
    return {kindRank(device), device.left(stem), value, device};
}

} // namespace

QStringList searchOrder(QStringList devices)
{
    std::sort(devices.begin(), devices.end(),
              [](const QString &a, const QString &b) { return sortKey(a) < sortKey(b); });
    return devices;
}

QStringList devices()
{
    if (qEnvironmentVariableIsSet("KV4810G_PORTS"))
        return qEnvironmentVariable("KV4810G_PORTS").split(QDir::listSeparator());

    QStringList found;
#ifdef Q_OS_WIN
    for (int n = FirstPort; n <= LastPort; ++n)
        found.append(QStringLiteral("COM%1").arg(n));
#else
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        found.append(info.systemLocation());
    found = searchOrder(found);
#endif
    return found;
}

QString deviceForPort(int number)
{
    if (number < FirstPort || number > LastPort)
        return QString();
    const QStringList all = devices();
    return number <= all.size() ? all.at(number - 1) : QString();
}

} // namespace PortCatalog
