// The programming history: an entry for every operation on the panel's
// line, and File > History... to look at them.
#include "frmmain.h"

#include "frmhistory.h"
#include "messages.h"
#include "operationhistory.h"
#include "recordstore.h"
#include "tofront.h"
#include "ui_frmmain.h"

#include <QTimer>

void frmmain::connectHistory()
{
    auto *history = new QAction(QStringLiteral("History..."), this);
    history->setObjectName(QStringLiteral("File_history"));
    // Before the separator above Exit.
    const QList<QAction *> items = ui->File->actions();
    const qsizetype exit = items.indexOf(ui->eqit);
    ui->File->insertAction(exit > 0 ? items.at(exit - 1) : ui->eqit, history);
    connect(history, &QAction::triggered, this, &frmmain::File_history_Click);
    connect(&m_session, &PanelSession::operationEnded, this, &frmmain::recordHistory);
}

void frmmain::File_history_Click()
{
    if (!m_historyWindow) {
        m_historyWindow = new frmHistory(*m_records, this);
        connect(m_historyWindow, &frmHistory::showSettings, this, &frmmain::CopyRecordToWindow);
    }
    if (!m_historyWindow->Form_Load(ui->TxtAni->text())) {
        delete m_historyWindow;
        return;
    }
    bringToFront(m_historyWindow);
}

void frmmain::recordHistory(const OperationEnd &end)
{
    const HistorySource source{ui->TxtAni->text(), ui->TxtName->text(), QString(), m_session.link().deviceName(),
                               m_session.link().portNumber(), QStringLiteral("kv4810g")};
    const std::optional<HistoryEntry> entry = HistoryEntryOf(end, source);
    if (!entry)
        return;
    QList<HistoryEntry> entries{*entry};
    QString error;
    if (m_records->addHistory(&entries, &error) || m_historyFailureTold)
        return;
    // Told once, after the operation's own message.
    m_historyFailureTold = true;
    QTimer::singleShot(0, this, [this, error] {
        Messages::inform(this, QStringLiteral("This operation's entry in the programming history was not "
                                              "written: %1")
                                   .arg(error),
                         QLatin1String(Messages::SystemInformation));
    });
}
