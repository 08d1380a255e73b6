#include "recordrow.h"

#include "fieldcodecs.h"

#include <cmath>

namespace RecordRow {

namespace {

constexpr int FirstCheckColumn = 21; // shangbao1

// Qt binds a null QString as SQL Null; an empty control stores an empty text.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QString::fromLatin1("", 0)) : QVariant(value);
}

QString textOf(const QVariant &stored)
{
    return stored.isNull() ? QString() : stored.toString();
}

} // namespace

const QStringList &columns()
{
    static const QStringList names = [] {
        QStringList c{QStringLiteral("name"), QStringLiteral("ID")};
        for (int i = 1; i <= 6; ++i)
            c << QStringLiteral("JieTel%1").arg(i);
        for (int i = 1; i <= 6; ++i)
            c << QStringLiteral("JieTelEM%1").arg(i);
        c << QStringLiteral("MiMa") << QStringLiteral("ChangKai") << QStringLiteral("ChangBi");
        for (int i = 1; i <= 3; ++i)
            c << QStringLiteral("shouji%1").arg(i);
        c << QStringLiteral("zhouqi");
        for (int i = 1; i <= 6; ++i)
            c << QStringLiteral("shangbao%1").arg(i);
        for (int i = 1; i <= 6; ++i)
            c << QStringLiteral("TelGZ%1").arg(i);
        c << QStringLiteral("NeiXian");
        return c;
    }();
    return names;
}

const QString &columnList()
{
    static const QString list = columns().join(QStringLiteral(", "));
    return list;
}

bool isCheckColumn(int column)
{
    return column >= FirstCheckColumn;
}

QVariantList rowValues(const PanelSettings &s)
{
    QVariantList v;
    v.reserve(ColumnCount);
    v << text(s.TxtName) << text(s.TxtAni);
    for (const QString &number : s.Txt)
        v << text(number);
    for (const ListField &type : s.Cmb)
        v << text(type.text);
    v << text(s.TxtMiMa) << text(s.CmbChanKai.text) << text(s.CmbChanBi.text);
    for (const QString &number : s.TxtDuanXin)
        v << text(number);
    v << text(s.TxtTian);
    for (bool checked : s.CkShangBao)
        v << int(checked);
    for (bool checked : s.CkTel)
        v << int(checked);
    v << int(s.CkNX);
    return v;
}

PanelSettings settingsFromRow(const QVariantList &values)
{
    Q_ASSERT(values.size() == ColumnCount);
    const QStringList types = SettingsLists::alarmTypes();
    const QStringList relays = SettingsLists::relayStates();
    int c = 0;
    const auto next = [&] { return textOf(values.at(c++)); };
    PanelSettings s;
    s.TxtName = next();
    s.TxtAni = next();
    for (QString &number : s.Txt)
        number = next();
    for (ListField &type : s.Cmb)
        type = SettingsLists::withText(types, next());
    s.TxtMiMa = next();
    s.CmbChanKai = SettingsLists::withText(relays, next());
    s.CmbChanBi = SettingsLists::withText(relays, next());
    for (QString &number : s.TxtDuanXin)
        number = next();
    s.TxtTian = next();
    for (bool &checked : s.CkShangBao)
        checked = checkState(values.at(c++));
    for (bool &checked : s.CkTel)
        checked = checkState(values.at(c++));
    s.CkNX = checkState(values.at(c++));
    return s;
}

bool checkState(const QVariant &stored)
{
    // nearbyint rounds halves to even in the default rounding mode.
    return !stored.isNull() && std::nearbyint(NumericValue(stored.toString())) != 0.0;
}

} // namespace RecordRow
