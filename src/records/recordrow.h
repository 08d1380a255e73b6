#pragma once

#include "panelsettings.h"

#include <QStringList>
#include <QVariantList>

// One row of the table tb4810 and the settings value it holds. A row keeps
// what the window shows: texts as typed, list fields by their shown text,
// check boxes as 0 or 1.
namespace RecordRow {

inline constexpr char Table[] = "tb4810";
inline constexpr int ColumnCount = 34;

// The 34 columns, in the order every write and every read handles them:
// name, ID, JieTel1..6, JieTelEM1..6, MiMa, ChangKai, ChangBi, shouji1..3,
// zhouqi, shangbao1..6, TelGZ1..6, NeiXian.
const QStringList &columns();
// The same, separated by ", " for a statement.
const QString &columnList();
// Whether the column at this position holds a check box state.
bool isCheckColumn(int column);

// The values to store, in column order; texts are never Null.
QVariantList rowValues(const PanelSettings &settings);
// The settings a stored row holds, values in column order. A Null text
// reads as empty, a Null check box as unchecked; a list field shows the
// stored text and selects the item of exactly that text, if there is one.
PanelSettings settingsFromRow(const QVariantList &values);

// A check box state from a stored value: the leading number of its text
// (blanks ignored, 0 when it does not begin with one), rounded half to
// even; anything but 0 checks the box.
bool checkState(const QVariant &stored);

} // namespace RecordRow
