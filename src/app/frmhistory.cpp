#include "frmhistory.h"

#include "busycursor.h"
#include "messages.h"
#include "settingscomparison.h"
#include "recordstore.h"
#include "ui_frmHistory.h"

frmHistory::frmHistory(RecordStore &store, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmHistory)
    , m_store(store)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui->CmdExit, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->CmdRefresh, &QPushButton::clicked, this, [this] { Form_Load(m_number); });
    connect(ui->OnlyNumber, &QCheckBox::toggled, this, [this] { Form_Load(m_number); });
    connect(ui->Entries, &QTableWidget::itemSelectionChanged, this, &frmHistory::showEntry);
    connect(ui->CmdShow, &QPushButton::clicked, this, [this] {
        const int row = ui->Entries->currentRow();
        if (row >= 0 && row < m_entries.size() && m_entries.at(row).hasSettings)
            emit showSettings(m_entries.at(row).settings);
    });
}

frmHistory::~frmHistory()
{
    delete ui;
}

bool frmHistory::Form_Load(const QString &number)
{
    m_number = number;
    ui->OnlyNumber->setText(QStringLiteral("only No. %1").arg(number));
    ui->OnlyNumber->setEnabled(!number.trimmed().isEmpty());
    HistoryQuery query;
    query.limit = Listed;
    if (ui->OnlyNumber->isChecked() && ui->OnlyNumber->isEnabled())
        query.recordNumber = number;
    QString error;
    QList<HistoryEntry> entries;
    if (!underBusyCursor([&] { return m_store.readHistory(query, &entries, &error); })) {
        Messages::inform(this, error, QLatin1String(Messages::SystemInformation));
        return false;
    }
    m_entries = entries;
    ui->Entries->clearContents();
    ui->Entries->setRowCount(int(m_entries.size()));
    for (int row = 0; row < m_entries.size(); ++row) {
        const HistoryEntry &e = m_entries.at(row);
        const QStringList cells{e.at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.operation,
                                e.device, e.recordNumber, e.recordName.isEmpty() ? e.source : e.recordName,
                                e.outcome};
        for (int c = 0; c < cells.size(); ++c)
            ui->Entries->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    }
    ui->Entries->resizeColumnsToContents();
    showEntry();
    return true;
}

void frmHistory::showEntry()
{
    const int row = ui->Entries->currentRow();
    const bool chosen = row >= 0 && row < m_entries.size() && !ui->Entries->selectedItems().isEmpty();
    ui->CmdShow->setEnabled(chosen && m_entries.at(row).hasSettings);
    if (!chosen) {
        ui->Details->clear();
        return;
    }
    const HistoryEntry &e = m_entries.at(row);
    QStringList lines{QStringLiteral("%1, %2 on %3 (port %4), %5 %6").arg(e.operation, e.outcome, e.device).arg(e.port).arg(e.program, e.version),
                      QStringLiteral("by %1%2 at %3").arg(e.login, e.serverUser.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(e.serverUser), e.host)};
    if (!e.detail.isEmpty())
        lines << e.detail;
    if (!e.source.isEmpty())
        lines << QStringLiteral("from ") + e.source;
    if (!e.missing.isEmpty())
        lines << QStringLiteral("did not arrive: ") + e.missing.join(QStringLiteral(", "));
    if (!e.zone.isEmpty())
        lines << QStringLiteral("zone %1: %2").arg(e.zone, e.zoneText);
    if (e.hasSettings) {
        // Labelled as the main window labels them.
        for (const ComparisonRow &setting : CompareSettings(e.settings, PanelReading()))
            lines << setting.label + QStringLiteral(": ") + setting.windowValue;
    }
    ui->Details->setPlainText(lines.join(QLatin1Char('\n')));
}
