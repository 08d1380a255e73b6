#include "historyview.h"

#include "consoleoutput.h"
#include "recordstore.h"
#include "settingsfile.h"

#include <QJsonArray>

namespace HistoryView {

QString line(const HistoryEntry &e)
{
    QStringList cells{QString::number(e.id), e.at.toLocalTime().toString(Qt::ISODate), e.operation, e.device,
                      e.recordNumber, e.recordName.isEmpty() ? e.source : e.recordName, e.outcome, e.detail};
    for (QString &cell : cells)
        cell = oneLine(cell);
    return cells.join(QLatin1Char('\t'));
}

QJsonObject toJson(const HistoryEntry &e)
{
    QJsonObject json{{"id", e.id},
                     {"at", e.at.toUTC().toString(Qt::ISODateWithMs)},
                     {"login", e.login},
                     {"server_user", e.serverUser},
                     {"host", e.host},
                     {"program", e.program},
                     {"version", e.version},
                     {"device", e.device},
                     {"port", e.port},
                     {"operation", e.operation},
                     {"record", e.recordNumber},
                     {"name", e.recordName},
                     {"source", e.source},
                     {"outcome", e.outcome},
                     {"detail", e.detail},
                     {"missing", QJsonArray::fromStringList(e.missing)}};
    if (e.hasSettings)
        json.insert(QStringLiteral("settings"), SettingsFile::toJson(e.settings));
    if (!e.zone.isEmpty()) {
        json.insert(QStringLiteral("zone"), e.zone);
        json.insert(QStringLiteral("text"), e.zoneText);
    }
    return json;
}

QString record(RecordStore &store, const OperationEnd &end, const HistorySource &source)
{
    const std::optional<HistoryEntry> entry = HistoryEntryOf(end, source);
    if (!entry)
        return QString();
    QList<HistoryEntry> entries{*entry};
    QString error;
    return store.addHistory(&entries, &error) ? QString()
                                              : QStringLiteral("the history entry was not written: ") + error;
}

QDateTime parseSince(const QString &text)
{
    QDateTime at = QDateTime::fromString(text, Qt::ISODate);
    if (!at.isValid()) {
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (day.isValid())
            at = day.startOfDay();
    }
    return at;
}

} // namespace HistoryView
