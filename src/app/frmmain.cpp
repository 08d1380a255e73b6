#include "frmmain.h"

#include "frmpassword.h"
#include "helpdocument.h"
#include "messages.h"
#include "portlamps.h"
#include "programend.h"
#include "recordstore.h"
#include "searchindicator.h"
#include "settingsform.h"
#include "ui_frmmain.h"

#include <QCloseEvent>
#include <QEventLoop>

// The images live in this library; a static library's resources must be
// registered by hand.
static void registerResources()
{
    Q_INIT_RESOURCE(app);
}

frmmain::frmmain(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::frmmain)
    , m_records(openRecordStore())
{
    registerResources();
    ui->setupUi(this);
    // The client area below the menu bar keeps its size whatever height the
    // menu font gives the bar.
    resize(width(), menuBar()->sizeHint().height() + centralWidget()->minimumHeight());
    m_lamps = new PortLamps(ui->Picture1);

    connect(ui->open_com, &QAction::triggered, &m_session, &PanelSession::openPort);
    connect(ui->Close_com, &QAction::triggered, &m_session, &PanelSession::closePort);
    connect(ui->eqit, &QAction::triggered, this, &frmmain::eqit_Click);
    connect(ui->About, &QAction::triggered, this, [this] {
        const QString failure = OpenHelpDocument();
        if (!failure.isEmpty())
            Messages::inform(this, failure, QLatin1String(Messages::SystemInformation));
    });
    connect(ui->File_open, &QAction::triggered, this, &frmmain::File_open_Click);
    connect(ui->File_save, &QAction::triggered, this, &frmmain::File_save_Click);
    connect(ui->File_del, &QAction::triggered, this, &frmmain::File_del_Click);
    addRecordsLine();
    connectHistory();

    connect(&m_session, &PanelSession::message, this, &frmmain::showMessage);
    connect(&m_session, &PanelSession::portTried, this, &frmmain::showPortTried);
    connect(&m_session, &PanelSession::passwordAccepted, this, &frmmain::passwordAccepted);
    connect(&m_session, &PanelSession::progressChanged, this, [this](int value, int maximum) {
        ui->ProgressBar1->setMaximum(maximum);
        ui->ProgressBar1->setValue(value);
    });
    connectTransfer();
    connectCompareAndTrace();
    // A field typed over holds what the technician typed, not a cut value.
    for (QLineEdit *field : limitedTextFields(*ui)) {
        connect(field, &QLineEdit::textEdited, this, [this, field] {
            m_cutValues.removeIf([field](const CutValue &cut) { return cut.field == field; });
        });
    }

    ProgramEnd::setCleanup([this] { m_session.endProgram(); });
}

frmmain::~frmmain()
{
    ProgramEnd::setCleanup(nullptr);
    delete ui;
}

void frmmain::InitialiseRecord()
{
    ui->CmbFangQu->clear();
    ui->CmbFangQu->addItems(SettingsLists::zoneNumbers());
    ui->CmbFangQu->setCurrentIndex(0);
    setSettings(PanelSettings::startValues());
}

bool frmmain::Form_Load()
{
    InitialiseRecord();
    SearchIndicator indicator;
    connect(&m_session, &PanelSession::searching, &indicator, &SearchIndicator::showPort);
    PanelOutcome outcome = PanelOutcome::NoPanel;
    QEventLoop searching;
    connect(&m_session, &PanelSession::operationEnded, &searching, [&](const OperationEnd &end) {
        if (end.operation != Operation::Searching)
            return;
        outcome = end.outcome;
        searching.quit();
    });
    m_session.search();
    searching.exec();
    indicator.hide();

    if (outcome == PanelOutcome::PanelFound)
        showPasswordDialog();
    else if (outcome == PanelOutcome::HardwareFail)
        ProgramEnd::EndProgram(); // after the session's "hardware testing fail!"
    return !ProgramEnd::isEnding();
}

PanelSettings frmmain::settings() const
{
    PanelSettings s = readSettings(*ui);
    restoreCutValues(*ui, s, m_cutValues);
    return s;
}

void frmmain::setSettings(const PanelSettings &settings)
{
    m_cutValues.clear();
    writeSettings(*ui, settings);
}

void frmmain::ClearSettings()
{
    setSettings(PanelSettings::cleared());
}

void frmmain::showMessage(const SessionMessage &message)
{
    // The wrong-password message belongs to the password dialog while it is open.
    QWidget *owner = m_passwordDialog ? static_cast<QWidget *>(m_passwordDialog) : this;
    Messages::inform(owner, message.text, message.title.isEmpty() ? QLatin1String(Messages::AppTitle) : message.title,
                     message.detail);
}

void frmmain::showPortTried(int port, bool opened, const QString &device, const QString &detail)
{
    const QString name = device.isEmpty() ? QStringLiteral("no device") : device;
    m_lamps->setPort(port, opened ? PortLamps::InUse : PortLamps::Failed,
                     QStringLiteral("Port %1: %2\n%3").arg(port).arg(name, detail));
}

void frmmain::showPasswordDialog()
{
    frmPassWord dialog;
    m_passwordDialog = &dialog;
    connect(&dialog, &frmPassWord::passwordEntered, &m_session, &PanelSession::testPassword);
    dialog.exec();
    m_passwordDialog = nullptr;
}

void frmmain::passwordAccepted()
{
    if (m_passwordDialog)
        m_passwordDialog->accept();
    for (QWidget *button : {ui->ComSend, ui->CmdRead, ui->CmdDXSend, ui->Command2})
        button->setEnabled(true);
}

void frmmain::eqit_Click()
{
    ProgramEnd::EndProgram();
}

void frmmain::closeEvent(QCloseEvent *event)
{
    event->accept();
    ProgramEnd::EndProgram();
}
