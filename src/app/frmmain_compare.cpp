// Setting > "Compare with panel": the panel's settings are read into a
// value of their own, never into the window, and shown beside the window's.
// Help > "Protocol trace": the trace window.
#include "frmmain.h"

#include "comparedialog.h"
#include "messages.h"
#include "panelframes.h"
#include "settingstransfer.h"
#include "tracewindow.h"
#include "ui_frmmain.h"

void frmmain::connectCompareAndTrace()
{
    connect(ui->compareWithPanel, &QAction::triggered, this, &frmmain::compareWithPanel);
    connect(ui->protocolTrace, &QAction::triggered, this, [this] { TraceWindow::showFor(this); });
    connect(&m_comparison, &SettingsCollector::finished, this, &frmmain::comparisonFinished);
    connect(&MSComm1, &SerialLink::portLost, this, [this] {
        endComparison(QStringLiteral("The serial port went away during the comparison."));
    });
}

void frmmain::compareWithPanel()
{
    if (m_comparison.isGathering() && m_compareDialog) {
        m_compareDialog->show();
        m_compareDialog->raise();
        m_compareDialog->activateWindow();
        return;
    }
    // As the upload's: the transfers' messages carry their title in lower case.
    const QString title = QStringLiteral("system information");
    // A download's frames must not be interleaved with the request.
    if (m_download.isRunning()) {
        Messages::inform(this, QStringLiteral("download in progress, please wait!"), title);
        return;
    }
    if (!MSComm1.isOpen()) {
        Messages::inform(this, QStringLiteral("Serial port not open!"), title);
        return;
    }
    // One reading of the window, as a download would send it.
    m_comparedWindow = settings();
    m_comparedWindow.CmbChanKai = AlignRelayList(m_comparedWindow.CmbChanKai);
    m_comparedWindow.CmbChanBi = AlignRelayList(m_comparedWindow.CmbChanBi);
    m_comparisonNote.clear();

    if (!m_compareDialog)
        m_compareDialog = new CompareDialog(this);
    m_compareDialog->showReading(m_comparedWindow);
    m_compareDialog->show();
    m_compareDialog->raise();
    m_compareDialog->activateWindow();

    // As an upload does: stray bytes go, and the answers are not zone text.
    m_dispatch.ZoneTextMode = 0;
    MSComm1.clearReceiveBuffer();
    // Until the comparison ends every reply goes to it, none to the window.
    m_dispatch.setDiversion([this](const QString &reply) { m_comparison.take(reply); });
    m_comparison.start();
    if (!send(QLatin1String(PanelFrames::UploadRequest)))
        endComparison(QStringLiteral("The request could not be sent to the panel."));
}

// A transfer, a lost port or a failed request needs the replies back: the
// comparison ends now, with what has come so far.
void frmmain::endComparison(const QString &note)
{
    if (!m_comparison.isGathering())
        return;
    m_comparisonNote = note;
    m_comparison.cancel();
}

void frmmain::comparisonFinished(SettingsCollector::End end)
{
    // From here on the window receives the replies again.
    m_dispatch.setDiversion(nullptr);
    const PanelReading &reading = m_comparison.reading();
    QString note;
    switch (end) {
    case SettingsCollector::End::Complete:
        break;
    case SettingsCollector::End::TimedOut:
        note = reading.receivedCount() == 0 ? QStringLiteral("The panel did not answer.")
                                            : QStringLiteral("The panel stopped answering before its last reply.");
        break;
    case SettingsCollector::End::DataError:
        note = QStringLiteral("Data Error! The panel refused the request (FF5000); the comparison has ended.");
        break;
    case SettingsCollector::End::Cancelled:
        note = m_comparisonNote;
        break;
    }
    if (m_compareDialog)
        m_compareDialog->showResult(CompareSettings(m_comparedWindow, reading), note);
}
