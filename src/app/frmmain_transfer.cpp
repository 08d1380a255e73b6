// The transfer buttons: settings download (ComSend) and upload (CmdRead),
// zone message download (CmdDXSend) and upload (Command2). The session
// decides and sends; these read the window and write the answers back.
#include "frmmain.h"

#include "settingsform.h"
#include "ui_frmmain.h"

void frmmain::connectTransfer()
{
    connect(ui->ComSend, &QPushButton::clicked, this, &frmmain::ComSend_Click);
    connect(ui->CmdRead, &QPushButton::clicked, this, &frmmain::CmdRead_Click);
    connect(ui->CmdDXSend, &QPushButton::clicked, this, &frmmain::CmdDXSend_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmmain::Command2_Click);

    connect(&m_session, &PanelSession::settingsReceived, this, [this](int group, const PanelSettings &values) {
        m_cutValues.clear(); // the panel's values replace the record's
        writeSettingsGroup(*ui, values, group);
    });
    connect(&m_session, &PanelSession::zoneTextReceived, ui->Text6, &QPlainTextEdit::setPlainText);
}

void frmmain::ComSend_Click()
{
    PanelSettings sent;
    if (m_session.download(settings(), &sent))
        setSettings(sent); // the relay lists as they went out
}

void frmmain::CmdRead_Click()
{
    m_session.upload();
}

void frmmain::CmdDXSend_Click()
{
    m_session.downloadZoneText(ui->CmbFangQu->currentText(), ui->Text6->toPlainText());
}

void frmmain::Command2_Click()
{
    m_session.uploadZoneText(ui->CmbFangQu->currentText());
}
