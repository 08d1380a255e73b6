#include "settingsfile.h"

#include "recordrow.h"
#include "settingstransfer.h"

#include <QFile>
#include <QJsonArray>
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

// The names of the members of a JSON object's text in the order they stand,
// a name given twice twice (QJsonDocument keeps one). `text` holds a valid
// JSON object.
QStringList memberNames(const QByteArray &text)
{
    QStringList names;
    int depth = 0;
    bool nameNext = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"') {
            const qsizetype start = i;
            for (++i; text.at(i) != '"'; ++i)
                i += text.at(i) == '\\';
            if (depth == 1 && nameNext)
                names << QJsonDocument::fromJson('[' + text.mid(start, i - start + 1) + ']').array().at(0).toString();
            nameNext = false;
        } else if (c == '{' || c == '[') {
            nameNext = ++depth == 1;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',' && depth == 1) {
            nameNext = true;
        }
    }
    return names;
}

// The record's own columns, name and No.; the others are what a download sends.
const int RecordColumns = 2;

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
    QStringList missing;
    for (const QString &column : columns.mid(RecordColumns)) {
        if (!json.contains(column))
            missing << column;
    }
    if (!missing.isEmpty()) {
        *error = QStringLiteral("members missing (a download sends them all): %1").arg(missing.join(", "));
        return false;
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
    if (file.size() > MaxFileBytes) {
        *error = QStringLiteral("%1: not a settings file (larger than %2 bytes)").arg(path).arg(MaxFileBytes);
        return false;
    }
    const QByteArray text = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || text.size() > MaxFileBytes) {
        *error = QStringLiteral("%1: %2").arg(path, text.size() > MaxFileBytes ? QStringLiteral("larger than it said")
                                                                                : file.errorString());
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
    if (!document.isObject()) {
        *error = QStringLiteral("%1: not a settings file (%2)")
                     .arg(path, parse.error == QJsonParseError::NoError ? QStringLiteral("not one object")
                                                                        : parse.errorString());
        return false;
    }
    const QStringList names = memberNames(text);
    for (const QString &name : names) {
        if (names.count(name) > 1) {
            *error = QStringLiteral("%1: member \"%2\" given twice").arg(path, name);
            return false;
        }
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
    const QByteArray text = QJsonDocument(toJson(settings)).toJson();
    // Unbuffered: a failed write (a full disk) shows in write(); QSaveFile's commit does not see
    // every failure of its own final flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
        || file.write(text) != text.size() || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace SettingsFile
