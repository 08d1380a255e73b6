// The transfers of the main window: settings download (ComSend), settings
// upload (CmdRead) and its reply writers, zone message download
// (CmdDXSend) and upload (Command2). Frames and decoding live in
// src/transfer; these handlers read the window, send, and write back.
#include "frmmain.h"

#include "messages.h"
#include "panelframes.h"
#include "settingstransfer.h"
#include "ui_frmmain.h"
#include "zonemessages.h"

namespace {

// The transfers' own messages carry this title in lower case.
const QString SystemInformationLower = QStringLiteral("system information");
const QString SystemInformation = QLatin1String(Messages::SystemInformation);

const double DownloadFrameGapSeconds = 0.2;

// Text6 holds line breaks as "\n"; the panel's are carriage return and line feed.
QString toPanelLineBreaks(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

QString fromPanelLineBreaks(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

void frmmain::connectTransfer()
{
    connect(ui->ComSend, &QPushButton::clicked, this, &frmmain::ComSend_Click);
    connect(ui->CmdRead, &QPushButton::clicked, this, &frmmain::CmdRead_Click);
    connect(ui->CmdDXSend, &QPushButton::clicked, this, &frmmain::CmdDXSend_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmmain::Command2_Click);

    connect(&m_dispatch, &ReplyDispatch::receivingNumberReply, this, &frmmain::receivingNumberReply);
    connect(&m_dispatch, &ReplyDispatch::gsmNumberReply, this, &frmmain::gsmNumberReply);
    connect(&m_dispatch, &ReplyDispatch::passwordRelaysReply, this, &frmmain::passwordRelaysReply);
    connect(&m_dispatch, &ReplyDispatch::reminderReply, this, &frmmain::reminderReply);
    connect(&m_dispatch, &ReplyDispatch::zoneTextReceived, this, &frmmain::zoneTextReceived);

    // A line that went away ends a running download before its next frame.
    connect(&MSComm1, &SerialLink::portLost, &m_download, &PacedSender::stop);
}

void frmmain::ComSend_Click()
{
    // Its waits run the event loop, so this button can be clicked again
    // meanwhile; a second download would interleave its frames with this one.
    if (m_download.isRunning()) {
        Messages::inform(this, QStringLiteral("download in progress, please wait!"), SystemInformationLower);
        return;
    }
    if (!MSComm1.isOpen()) {
        Messages::inform(this, QStringLiteral("Serial port not open!"), SystemInformationLower);
        return;
    }
    // One reading of the window: changes made during the sending do not count.
    const DownloadFrames download = SettingsDownloadFrames(settings());
    if (!download.ok()) {
        Messages::inform(this, download.refusal, SystemInformationLower);
        return;
    }
    endComparison(QStringLiteral("The comparison ended when a settings download began."));
    alignRelayLists();
    m_progress.start(TransferProgress::DownloadMaximum);
    m_dispatch.ZoneTextMode = 0;

    const PacedSender::Result sent = m_download.run(
        download.frames, DownloadFrameGapSeconds,
        [this](const QString &frame, QString *error) { return MSComm1.SendFrame(frame, error); });
    m_progress.stop();
    if (sent.outcome == PacedSender::Outcome::Sent) {
        Messages::inform(this, QStringLiteral("finish download!"), SystemInformation);
        return;
    }
    Messages::inform(this,
                     QStringLiteral("download not complete: the serial port closed after %1 of %2 frames, "
                                    "the panel did not get all settings!")
                         .arg(sent.framesSent)
                         .arg(download.frames.size()),
                     SystemInformationLower);
}

void frmmain::alignRelayLists()
{
    for (QComboBox *relay : {ui->CmbChanKai, ui->CmbChanBi}) {
        const ListField shown{relay->currentIndex(), relay->currentText()};
        const ListField aligned = AlignRelayList(shown);
        if (aligned.position != shown.position)
            relay->setCurrentIndex(aligned.position);
    }
}

void frmmain::CmdRead_Click()
{
    if (!MSComm1.isOpen()) {
        Messages::inform(this, QStringLiteral("Serial port not open!"), SystemInformationLower);
        return;
    }
    endComparison(QStringLiteral("The comparison ended when a settings upload began."));
    m_dispatch.ZoneTextMode = 0;
    MSComm1.clearReceiveBuffer();
    if (send(QLatin1String(PanelFrames::UploadRequest)))
        m_progress.start(TransferProgress::UploadMaximum);
}

void frmmain::receivingNumberReply(int number, const QString &reply)
{
    QLineEdit *const numbers[] = {ui->Txt1, ui->Txt2, ui->Txt3, ui->Txt4, ui->Txt5, ui->Txt6};
    QComboBox *const types[] = {ui->Cmb1, ui->Cmb2, ui->Cmb3, ui->Cmb4, ui->Cmb5, ui->Cmb6};
    const ReceivingNumberFields fields = DecodeReceivingNumber(number, reply);
    numbers[number - 1]->setText(fields.Txt);
    types[number - 1]->setCurrentIndex(fields.Cmb);
}

void frmmain::gsmNumberReply(int number, const QString &reply)
{
    QLineEdit *const numbers[] = {ui->TxtDuanXin1, ui->TxtDuanXin2, ui->TxtDuanXin3};
    numbers[number - 1]->setText(DecodeGsmNumber(number, reply).TxtDuanXin);
}

void frmmain::passwordRelaysReply(const QString &reply)
{
    const PasswordRelaysFields fields = DecodePasswordRelays(reply);
    ui->TxtMiMa->setText(fields.TxtMiMa);
    ui->CmbChanKai->setCurrentIndex(fields.CmbChanKai);
    ui->CmbChanBi->setCurrentIndex(fields.CmbChanBi);
}

void frmmain::reminderReply(const QString &reply)
{
    QCheckBox *const reports[] = {ui->CkShangBao1, ui->CkShangBao2, ui->CkShangBao3,
                                  ui->CkShangBao4, ui->CkShangBao5, ui->CkShangBao6};
    QCheckBox *const lineFaults[] = {ui->CkTel1, ui->CkTel2, ui->CkTel3, ui->CkTel4, ui->CkTel5, ui->CkTel6};
    const ReminderFields fields = DecodeReminder(reply);
    ui->TxtTian->setText(fields.TxtTian);
    for (int i = 0; i < 6; ++i) {
        reports[i]->setChecked(fields.CkShangBao[i]);
        lineFaults[i]->setChecked(fields.CkTel[i]);
    }
    ui->CkNX->setChecked(fields.CkNX);
    // The last reply of an upload: the bar stays where it is.
    m_progress.stop();
    Messages::inform(this, QStringLiteral("finish Upload!"), SystemInformationLower);
}

void frmmain::CmdDXSend_Click()
{
    const Encoded frame =
        ZoneMessageFrame(ui->CmbFangQu->currentText(), toPanelLineBreaks(ui->Text6->toPlainText()));
    if (!frame.ok()) {
        Messages::inform(this, frame.error, SystemInformation);
        return;
    }
    endComparison(QStringLiteral("The comparison ended when a zone message download began."));
    if (send(frame.text))
        Messages::inform(this, QStringLiteral("finish download!"), SystemInformation);
}

void frmmain::Command2_Click()
{
    const Encoded frame = ZoneUploadFrame(ui->CmbFangQu->currentText());
    if (!frame.ok()) {
        Messages::inform(this, frame.error, SystemInformation);
        return;
    }
    endComparison(QStringLiteral("The comparison ended when a zone message upload began."));
    // The answer is handled by a later receive event, never before this returns.
    if (send(frame.text))
        m_dispatch.ZoneTextMode = 1;
}

void frmmain::zoneTextReceived(const QString &reply)
{
    ui->Text6->setPlainText(fromPanelLineBreaks(HexText(reply)));
    Messages::inform(this, QStringLiteral("finish Upload!"), SystemInformationLower);
}
