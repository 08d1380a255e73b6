#pragma once

#include "settingscomparison.h"

#include <QDialog>

class QTableWidget;
namespace Ui {
class CompareDialog;
}

// "Compare with panel": one row per setting with the window's value and
// the panel's, the rows that differ or were not received marked, and a
// summary line above them. Non-modal; Close (or Esc) closes it at once.
class CompareDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CompareDialog(QWidget *owner);
    ~CompareDialog() override;

    // While the panel's replies are awaited: the window's values alone.
    void showReading(const PanelSettings &window);
    // The outcome: `note` (why the comparison ended early), if any, then
    // the summary of the rows.
    void showResult(const QList<ComparisonRow> &rows, const QString &note);

    QString summary() const;
    QTableWidget *table() const;

private:
    void fill(const QList<ComparisonRow> &rows, bool reading);

    Ui::CompareDialog *ui;
};
