#include "settingsfile.h"

#include "recordrow.h"
#include "settingstransfer.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

namespace SettingsFile {

namespace {

const QString FormatMember = QStringLiteral("format");

// The list a column's text must name an item of; none for other columns.
QStringList itemsOf(const QString &column)
{
    if (column.startsWith(QLatin1String("JieTelEM")))
        return QStringList(SettingsLists::alarmTypes()) << QString() << QLatin1String(SettingsLists::AlarmTypePrompt);
    if (column == QLatin1String("ChangKai") || column == QLatin1String("ChangBi"))
        return QStringList(SettingsLists::relayStates()) << QString();
    return {};
}

// The settings with one column's value put in, the others as given.
PanelSettings withColumn(const PanelSettings &settings, int column, const QVariant &value)
{
    QVariantList row = RecordRow::rowValues(settings);
    row[column] = value;
    return RecordRow::settingsFromRow(row);
}

} // namespace

QJsonObject toJson(const PanelSettings &settings)
{
    QJsonObject json{{FormatMember, Format}};
    const QVariantList row = RecordRow::rowValues(settings);
    for (int column = 0; column < RecordRow::ColumnCount; ++column) {
        const QString &name = RecordRow::columns().at(column);
        if (RecordRow::isCheckColumn(column))
            json.insert(name, RecordRow::checkState(row.at(column)));
        else
            json.insert(name, row.at(column).toString());
    }
    return json;
}

bool fromJson(const QJsonObject &json, PanelSettings *settings, QString *error)
{
    if (json.value(FormatMember) != QJsonValue(Format)) {
        *error = QStringLiteral("\"format\" must be %1").arg(Format);
        return false;
    }
    PanelSettings s = PanelSettings::startValues();
    const QStringList &columns = RecordRow::columns();
    for (auto it = json.begin(); it != json.end(); ++it) {
        if (it.key() == FormatMember)
            continue;
        const int column = int(columns.indexOf(it.key()));
        if (column < 0) {
            *error = QStringLiteral("unknown member \"%1\"").arg(it.key());
            return false;
        }
        const bool check = RecordRow::isCheckColumn(column);
        if (check ? !it.value().isBool() : !it.value().isString()) {
            *error = QStringLiteral("\"%1\" must be %2").arg(it.key(), check ? QStringLiteral("true or false")
                                                                            : QStringLiteral("a text"));
            return false;
        }
        const QVariant value = check ? QVariant(it.value().toBool() ? 1 : 0) : QVariant(it.value().toString());
        const QStringList items = itemsOf(it.key());
        if (!items.isEmpty() && !items.contains(value.toString())) {
            *error = QStringLiteral("\"%1\" must be one of: %2").arg(it.key(), items.filter(QRegularExpression(".")).join(", "));
            return false;
        }
        // Each value alone in a fresh window: a refusal is this member's.
        const QString refusal = SettingsDownloadFrames(AlignRelayLists(withColumn(PanelSettings::startValues(), column,
                                                                                   value)))
                                    .refusal;
        if (!refusal.isEmpty()) {
            *error = QStringLiteral("\"%1\": %2").arg(it.key(), refusal);
            return false;
        }
        s = withColumn(s, column, value);
    }
    *settings = s;
    return true;
}

bool read(const QString &path, PanelSettings *settings, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!document.isObject()) {
        *error = QStringLiteral("%1: not a settings file (%2)")
                     .arg(path, parse.error == QJsonParseError::NoError ? QStringLiteral("not one object")
                                                                        : parse.errorString());
        return false;
    }
    if (!fromJson(document.object(), settings, error)) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
        return false;
    }
    return true;
}

bool write(const QString &path, const PanelSettings &settings, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(toJson(settings)).toJson()) < 0
        || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace SettingsFile
