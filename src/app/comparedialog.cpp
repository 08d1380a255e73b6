#include "comparedialog.h"

#include "ui_CompareDialog.h"

namespace {

QString resultText(ComparisonRow::State state)
{
    switch (state) {
    case ComparisonRow::State::Differs:
        return QStringLiteral("differs");
    case ComparisonRow::State::NotReceived:
        return QStringLiteral("not received");
    case ComparisonRow::State::Same:
        break;
    }
    return QString();
}

} // namespace

CompareDialog::CompareDialog(QWidget *owner)
    : QDialog(owner)
    , ui(new Ui::CompareDialog)
{
    ui->setupUi(this);
}

CompareDialog::~CompareDialog()
{
    delete ui;
}

QTableWidget *CompareDialog::table() const
{
    return ui->rows;
}

void CompareDialog::showReading(const PanelSettings &window)
{
    fill(CompareSettings(window, PanelReading()), true); // the panel's columns stay blank while it reads
    ui->summary->setText(QStringLiteral("Reading the settings from the panel..."));
}

void CompareDialog::showResult(const QList<ComparisonRow> &rows, const QString &note)
{
    fill(rows, false);
    const QString summary = ComparisonSummary(rows);
    ui->summary->setText(note.isEmpty() ? summary : note + QLatin1Char(' ') + summary);
}

QString CompareDialog::summary() const
{
    return ui->summary->text();
}

void CompareDialog::fill(const QList<ComparisonRow> &rows, bool reading)
{
    const QColor differs(255, 215, 215);
    const QColor missing(255, 240, 200);
    ui->rows->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const ComparisonRow &row = rows.at(r);
        const QStringList cells = {row.label, row.windowValue, reading ? QString() : row.panelValue,
                                   reading ? QString() : resultText(row.state)};
        const bool marked = !reading && row.state != ComparisonRow::State::Same;
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (marked) {
                item->setBackground(row.state == ComparisonRow::State::Differs ? differs : missing);
                item->setForeground(QColor(Qt::black)); // readable on the light mark in a dark theme too
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
            ui->rows->setItem(r, c, item);
        }
    }
    // The last column keeps the rest of the width: sizing it to its
    // contents, too, would stop it stretching until the dialog is resized.
    for (int c = 0; c + 1 < ui->rows->columnCount(); ++c)
        ui->rows->resizeColumnToContents(c);
    ui->rows->resizeRowsToContents();
}
