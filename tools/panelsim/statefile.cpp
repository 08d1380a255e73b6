#include "statefile.h"

#include "panelbytes.h"
#include "panelcommands.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

bool isDecimal(const QString &s)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
    return digits.match(s).hasMatch();
}

QJsonObject numberToJson(const StoredNumber &number)
{
    return QJsonObject{{QStringLiteral("number"), number.number()},
                       {QStringLiteral("count"), number.count},
                       {QStringLiteral("digits"), number.digits}};
}

QJsonArray flagsToJson(const std::array<bool, PanelState::ReceivingNumbers> &flags)
{
    QJsonArray array;
    for (const bool flag : flags)
        array.append(flag ? 1 : 0);
    return array;
}

// Reads objects and arrays with a path for the error message.
class Reader
{
public:
    explicit Reader(QString *error) : m_error(error) {}

    bool fail(const QString &key, const QString &why)
    {
        *m_error = QStringLiteral("\"%1\": %2").arg(key, why);
        return false;
    }

    bool integer(const QJsonValue &value, const QString &key, int max, int *out)
    {
        if (value.isUndefined())
            return true;
        if (!value.isDouble() || value.toDouble() != value.toInt() || value.toInt() < 0 || value.toInt() > max)
            return fail(key, QStringLiteral("must be a whole number from 0 to %1").arg(max));
        *out = value.toInt();
        return true;
    }

    bool flag(const QJsonValue &value, const QString &key, bool *out)
    {
        int number = *out ? 1 : 0;
        if (value.isBool()) {
            *out = value.toBool();
            return true;
        }
        if (!integer(value, key, 1, &number))
            return false;
        *out = number == 1;
        return true;
    }

    bool array(const QJsonValue &value, const QString &key, int size, QJsonArray *out)
    {
        if (value.isUndefined())
            return true;
        if (!value.isArray() || value.toArray().size() != size)
            return fail(key, QStringLiteral("must be an array of %1").arg(size));
        *out = value.toArray();
        return true;
    }

    bool number(const QJsonValue &value, const QString &key, StoredNumber *out)
    {
        if (!value.isObject())
            return fail(key, QStringLiteral("must be an object"));
        const QJsonObject object = value.toObject();
        StoredNumber number = *out;
        if (object.contains(QStringLiteral("number"))) {
            const QString text = object.value(QStringLiteral("number")).toString();
            if (!object.value(QStringLiteral("number")).isString() || !isDecimal(text)
                || text.size() > StoredNumber::Digits)
                return fail(key + QStringLiteral(".number"), QStringLiteral("must be up to 16 decimal digits"));
            number = StoredNumber::asSent(text);
        }
        if (!integer(object.value(QStringLiteral("count")), key + QStringLiteral(".count"),
                     StoredNumber::Digits, &number.count))
            return false;
        if (object.contains(QStringLiteral("digits"))) {
            const QString digits = object.value(QStringLiteral("digits")).toString();
            if (!object.value(QStringLiteral("digits")).isString() || !isDecimal(digits)
                || digits.size() > StoredNumber::Digits)
                return fail(key + QStringLiteral(".digits"), QStringLiteral("must be up to 16 decimal digits"));
            number.digits = digits.leftJustified(StoredNumber::Digits, QLatin1Char('0'));
        }
        *out = number;
        return true;
    }

private:
    QString *m_error;
};

QString indexed(const char *key, int i)
{
    return QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(i);
}

bool readReceivingNumbers(Reader &read, const QJsonObject &json, PanelState *s)
{
    QJsonArray array;
    if (!read.array(json.value(QStringLiteral("receivingNumbers")), QStringLiteral("receivingNumbers"),
                    PanelState::ReceivingNumbers, &array))
        return false;
    for (int i = 0; i < array.size(); ++i) {
        const QString key = indexed("receivingNumbers", i);
        if (!read.number(array.at(i), key, &s->receivingNumbers[i])
            || !read.integer(array.at(i).toObject().value(QStringLiteral("type")), key + QStringLiteral(".type"),
                             PanelState::MaxReportType, &s->reportTypes[i]))
            return false;
    }
    return true;
}

bool readGsmNumbers(Reader &read, const QJsonObject &json, PanelState *s)
{
    QJsonArray array;
    if (!read.array(json.value(QStringLiteral("gsmNumbers")), QStringLiteral("gsmNumbers"), PanelState::GsmNumbers,
                    &array))
        return false;
    for (int i = 0; i < array.size(); ++i) {
        if (!read.number(array.at(i), indexed("gsmNumbers", i), &s->gsmNumbers[i]))
            return false;
    }
    return true;
}

bool readPasswordAndRelays(Reader &read, const QJsonObject &json, PanelState *s)
{
    if (json.contains(QStringLiteral("wirelessPassword"))) {
        const QString password = json.value(QStringLiteral("wirelessPassword")).toString();
        if (password.size() != 4 || !isDecimal(password))
            return read.fail(QStringLiteral("wirelessPassword"), QStringLiteral("must be four decimal digits"));
        s->wirelessPassword = password;
    }
    return read.integer(json.value(QStringLiteral("relayNO")), QStringLiteral("relayNO"),
                        PanelState::RelayDisconnect, &s->relayNO)
        && read.integer(json.value(QStringLiteral("relayNC")), QStringLiteral("relayNC"),
                        PanelState::RelayDisconnect, &s->relayNC);
}

bool readFlags(Reader &read, const QJsonObject &json, const char *key,
               std::array<bool, PanelState::ReceivingNumbers> *flags)
{
    QJsonArray array;
    if (!read.array(json.value(QLatin1String(key)), QLatin1String(key), PanelState::ReceivingNumbers, &array))
        return false;
    for (int i = 0; i < array.size(); ++i) {
        if (!read.flag(array.at(i), indexed(key, i), &(*flags)[i]))
            return false;
    }
    return true;
}

bool readReminder(Reader &read, const QJsonObject &json, PanelState *s)
{
    if (json.contains(QStringLiteral("interval"))) {
        static const QRegularExpression byte(QStringLiteral("^[0-9A-Fa-f]{2}$"));
        const QString interval = json.value(QStringLiteral("interval")).toString();
        if (!byte.match(interval).hasMatch())
            return read.fail(QStringLiteral("interval"), QStringLiteral("must be two hexadecimal digits"));
        s->interval = interval.toUpper();
    }
    return readFlags(read, json, "reportFlags", &s->reportFlags)
        && readFlags(read, json, "lineFaultFlags", &s->lineFaultFlags)
        && (!json.contains(QStringLiteral("inside"))
            || read.flag(json.value(QStringLiteral("inside")), QStringLiteral("inside"), &s->inside));
}

bool readZoneTexts(Reader &read, const QJsonObject &json, PanelState *s)
{
    QJsonArray array;
    if (!read.array(json.value(QStringLiteral("zoneTexts")), QStringLiteral("zoneTexts"), PanelState::Zones, &array))
        return false;
    for (int i = 0; i < array.size(); ++i) {
        const QString text = array.at(i).toString();
        if (!array.at(i).isString() || !PanelBytes::fitsBytes(text) || text.size() > PanelCommands::MaxZoneTextBytes)
            return read.fail(indexed("zoneTexts", i), QStringLiteral("must be up to 255 Latin-1 characters"));
        s->zoneTexts[i] = text.toLatin1();
    }
    return true;
}

} // namespace

namespace StateFile {

QJsonObject toJson(const PanelState &state)
{
    QJsonArray receiving;
    for (int i = 0; i < PanelState::ReceivingNumbers; ++i) {
        QJsonObject object = numberToJson(state.receivingNumbers[i]);
        object.insert(QStringLiteral("type"), state.reportTypes[i]);
        receiving.append(object);
    }
    QJsonArray gsm;
    for (const StoredNumber &number : state.gsmNumbers)
        gsm.append(numberToJson(number));
    QJsonArray zones;
    for (const QByteArray &text : state.zoneTexts)
        zones.append(QString::fromLatin1(text));
    return QJsonObject{
        {QStringLiteral("receivingNumbers"), receiving},
        {QStringLiteral("gsmNumbers"), gsm},
        {QStringLiteral("wirelessPassword"), state.wirelessPassword},
        {QStringLiteral("relayNO"), state.relayNO},
        {QStringLiteral("relayNC"), state.relayNC},
        {QStringLiteral("interval"), state.interval},
        {QStringLiteral("reportFlags"), flagsToJson(state.reportFlags)},
        {QStringLiteral("lineFaultFlags"), flagsToJson(state.lineFaultFlags)},
        {QStringLiteral("inside"), state.inside ? 1 : 0},
        {QStringLiteral("zoneTexts"), zones},
    };
}

bool fromJson(const QJsonObject &json, PanelState *state, QString *error)
{
    Reader read(error);
    PanelState s = *state;
    const bool ok = readReceivingNumbers(read, json, &s) && readGsmNumbers(read, json, &s)
        && readPasswordAndRelays(read, json, &s) && readReminder(read, json, &s) && readZoneTexts(read, json, &s);
    if (ok)
        *state = s;
    return ok;
}

bool load(const QString &path, PanelState *state, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString());
        return false;
    }
    QString why;
    if (!fromJson(document.object(), state, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

bool save(const QString &path, const PanelState &state, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(toJson(state)).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace StateFile
