#include "comparedialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { Setting, Window, Panel, Result, Columns };

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
{
    setObjectName(QStringLiteral("CompareDialog"));
    setWindowTitle(QStringLiteral("Compare with panel"));
    setModal(false);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setWordWrap(true);
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);

    m_table = new QTableWidget(0, Columns, this);
    m_table->setObjectName(QStringLiteral("rows"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Setting"), QStringLiteral("Window"), QStringLiteral("Panel"), QString()});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(640, 620);
}

void CompareDialog::showReading(const PanelSettings &window)
{
    PanelReading nothingYet;
    nothingYet.received.fill(true); // rows without a state of their own
    fill(CompareSettings(window, nothingYet), true);
    m_summary->setText(QStringLiteral("Reading the settings from the panel..."));
}

void CompareDialog::showResult(const QList<ComparisonRow> &rows, const QString &note)
{
    fill(rows, false);
    const QString summary = ComparisonSummary(rows);
    m_summary->setText(note.isEmpty() ? summary : note + QLatin1Char(' ') + summary);
}

QString CompareDialog::summary() const
{
    return m_summary->text();
}

void CompareDialog::fill(const QList<ComparisonRow> &rows, bool reading)
{
    const QColor differs(255, 215, 215);
    const QColor missing(255, 240, 200);
    m_table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const ComparisonRow &row = rows.at(r);
        const QStringList cells = {row.label, row.windowValue, reading ? QString() : row.panelValue,
                                   reading ? QString() : resultText(row.state)};
        const bool marked = !reading && row.state != ComparisonRow::State::Same;
        for (int c = 0; c < Columns; ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (marked) {
                item->setBackground(row.state == ComparisonRow::State::Differs ? differs : missing);
                item->setForeground(QColor(Qt::black)); // readable on the light mark in a dark theme too
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
    m_table->resizeRowsToContents();
}
