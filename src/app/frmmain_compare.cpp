// Setting > "Compare with panel": the session reads the panel's settings
// into a value of its own, never into the window, and the dialog shows them
// beside the window's. Help > "Protocol trace": the session's trace.
#include "frmmain.h"

#include "comparedialog.h"
#include "tofront.h"
#include "tracewindow.h"
#include "ui_frmmain.h"

void frmmain::connectCompareAndTrace()
{
    connect(ui->compareWithPanel, &QAction::triggered, this, &frmmain::compareWithPanel);
    connect(ui->protocolTrace, &QAction::triggered, this, [this] { TraceWindow::showFor(this, m_session.trace()); });
    connect(&m_session, &PanelSession::comparisonStarted, this, [this](const PanelSettings &compared) {
        if (!m_compareDialog)
            m_compareDialog = new CompareDialog(this);
        m_compareDialog->showReading(compared);
        bringToFront(m_compareDialog);
    });
    connect(&m_session, &PanelSession::operationEnded, this, [this](const OperationEnd &end) {
        if (end.operation == Operation::Comparing && m_compareDialog)
            m_compareDialog->showResult(end.rows, end.note);
    });
}

// Starts a comparison, or brings the running one's dialog to the front.
void frmmain::compareWithPanel()
{
    if (m_session.operation() != Operation::Comparing || !m_compareDialog) {
        m_session.compare(settings());
        return;
    }
    bringToFront(m_compareDialog);
}
