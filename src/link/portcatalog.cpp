#include "portcatalog.h"

#include <QDir>
#include <QSerialPortInfo>
#include <QtGlobal>
#include <algorithm>

namespace PortCatalog {

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
    std::sort(found.begin(), found.end());
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
