#include "frmmain.h"

#include "frmpassword.h"
#include "helpdocument.h"
#include "messages.h"
#include "panelcommands.h"
#include "panelsearch.h"
#include "portlamps.h"
#include "programend.h"
#include "searchindicator.h"
#include "recordstore.h"
#include "settingsform.h"
#include "ui_frmmain.h"

#include <QCloseEvent>

#include <memory>

using Messages::SystemInformation;

// The images live in this library; a static library's resources must be
// registered by hand.
static void registerResources()
{
    Q_INIT_RESOURCE(app);
}

frmmain::frmmain(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::frmmain)
    , m_dispatch(&m_progress)
    , m_records(openRecordStore())
{
    registerResources();
    ui->setupUi(this);
    // The client area below the menu bar keeps its size whatever height the
    // menu font gives the bar.
    resize(width(), menuBar()->sizeHint().height() + centralWidget()->minimumHeight());
    m_lamps = new PortLamps(ui->Picture1);

    connect(ui->open_com, &QAction::triggered, this, &frmmain::open_com_Click);
    connect(ui->Close_com, &QAction::triggered, this, &frmmain::Close_com_Click);
    connect(ui->eqit, &QAction::triggered, this, &frmmain::eqit_Click);
    connect(ui->About, &QAction::triggered, this, &frmmain::About_Click);
    connect(ui->File_open, &QAction::triggered, this, &frmmain::File_open_Click);
    connect(ui->File_save, &QAction::triggered, this, &frmmain::File_save_Click);
    connect(ui->File_del, &QAction::triggered, this, &frmmain::File_del_Click);
    addRecordsLine();

    connect(&MSComm1, &SerialLink::replyReceived, &m_dispatch, &ReplyDispatch::deliver);
    connect(&MSComm1, &SerialLink::portLost, this, &frmmain::portLost);
    connect(&m_dispatch, &ReplyDispatch::passwordAccepted, this, &frmmain::passwordAccepted);
    connect(&m_dispatch, &ReplyDispatch::passwordRefused, this, &frmmain::passwordRefused);
    connect(&m_dispatch, &ReplyDispatch::dataError, this,
            [this] { Messages::inform(this, QStringLiteral("Data Error!"), SystemInformation); });
    connect(&m_progress, &TransferProgress::changed, this, [this](int value, int maximum) {
        ui->ProgressBar1->setMaximum(maximum);
        ui->ProgressBar1->setValue(value);
    });
    connectTransfer();
    connectCompareAndTrace();

    ProgramEnd::setCleanup([this] { MSComm1.close(); });
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
    m_dispatch.PanelFound = 0;
    PanelSearch search(
        MSComm1, [this] { m_dispatch.ZoneTextMode = 0; },
        [this] { return m_dispatch.PanelFound == 1; });
    connect(&search, &PanelSearch::portTried, this, &frmmain::showPortTried);
    auto indicator = std::make_unique<SearchIndicator>();
    connect(&search, &PanelSearch::searching, indicator.get(), &SearchIndicator::showPort);

    m_searching = true;
    m_searchReport.clear();
    const PanelSearch::Outcome outcome = search.run();
    m_searching = false;
    indicator.reset();

    switch (outcome) {
    case PanelSearch::Found:
        showPasswordDialog();
        break;
    case PanelSearch::HardwareFail:
        Messages::inform(nullptr, QStringLiteral("hardware testing fail!"), SystemInformation,
                         m_searchReport.join(QLatin1Char('\n')));
        ProgramEnd::EndProgram();
        break;
    default:
        break;
    }
    return !ProgramEnd::isEnding();
}

PanelSettings frmmain::settings() const
{
    return readSettings(*ui);
}

void frmmain::setSettings(const PanelSettings &settings)
{
    writeSettings(*ui, settings);
}

void frmmain::ClearSettings()
{
    setSettings(PanelSettings::cleared());
}

void frmmain::showPasswordDialog()
{
    frmPassWord dialog;
    m_passwordDialog = &dialog;
    connect(&dialog, &frmPassWord::passwordEntered, this, &frmmain::sendPassword);
    dialog.exec();
    m_passwordDialog = nullptr;
}

void frmmain::sendPassword(const QString &password)
{
    reopenPanelPort();
    m_dispatch.ZoneTextMode = 0;
    const Encoded frame = PasswordFrame(password);
    if (!frame.ok()) {
        Messages::inform(m_passwordDialog,
                         QStringLiteral("The password can only hold characters that fit in one byte!"),
                         SystemInformation);
        return;
    }
    send(frame.text);
}

void frmmain::passwordAccepted()
{
    if (m_passwordDialog)
        m_passwordDialog->accept();
    for (QWidget *button : {ui->ComSend, ui->CmdRead, ui->CmdDXSend, ui->Command2})
        button->setEnabled(true);
}

void frmmain::passwordRefused()
{
    QWidget *owner = m_passwordDialog ? static_cast<QWidget *>(m_passwordDialog) : this;
    Messages::inform(owner, QStringLiteral("Enter the password wrong operation"));
}

bool frmmain::send(const QString &frame)
{
    QString error;
    if (MSComm1.SendFrame(frame, &error))
        return true;
    if (!MSComm1.isOpen())
        Messages::inform(this, QStringLiteral("Serial port not open!"), SystemInformation);
    else
        Messages::inform(this, QStringLiteral("Serial port error: %1!").arg(error), SystemInformation);
    return false;
}

// The line went away while the password dialog was open (a cable pulled
// and plugged back): the device on which the panel was found is opened
// again before the password goes out.
void frmmain::reopenPanelPort()
{
    if (MSComm1.isOpen())
        return;
    QString error;
    if (MSComm1.reopen(&error))
        showPortTried(MSComm1.portNumber(), true, MSComm1.deviceName(), QStringLiteral("opened again"));
}

void frmmain::showPortTried(int port, bool opened, const QString &device, const QString &detail)
{
    const QString name = device.isEmpty() ? QStringLiteral("no device") : device;
    if (m_searching)
        m_searchReport.append(device.isEmpty() ? QStringLiteral("Port %1: %2").arg(port).arg(detail)
                                               : QStringLiteral("Port %1 (%2): %3").arg(port).arg(device, detail));
    m_lamps->setPort(port, opened ? PortLamps::InUse : PortLamps::Failed,
                     QStringLiteral("Port %1: %2\n%3").arg(port).arg(name, detail));
}

void frmmain::portLost(const QString &reason)
{
    if (m_searching)
        return; // the search counts the port as failed and goes on
    showPortTried(MSComm1.portNumber(), false, MSComm1.deviceName(),
                  QStringLiteral("the device went away: %1").arg(reason));
    if (m_download.isRunning())
        return; // the download stops and says what the panel did not get
    Messages::inform(this, QStringLiteral("Serial port disconnected!"), SystemInformation);
}

void frmmain::open_com_Click()
{
    PanelSearch search(MSComm1, [] {}, [] { return false; });
    connect(&search, &PanelSearch::portTried, this, &frmmain::showPortTried);
    switch (search.openFirstPort()) {
    case PanelSearch::Opened:
        m_dispatch.PanelFound = 0;
        m_dispatch.ZoneTextMode = 0; // the open emptied the receive buffer
        break;
    case PanelSearch::AlreadyOpen:
        Messages::inform(this, QStringLiteral("Serial port is already open!"), SystemInformation);
        break;
    case PanelSearch::NoPortOpened:
        Messages::inform(this, QStringLiteral("No detected hardware devices!"), SystemInformation);
        break;
    default:
        break;
    }
}

void frmmain::Close_com_Click()
{
    endComparison(QStringLiteral("The serial port was closed during the comparison."));
    m_download.stop();
    MSComm1.close();
}

void frmmain::eqit_Click()
{
    ProgramEnd::EndProgram();
}

void frmmain::About_Click()
{
    OpenHelpDocument();
}

void frmmain::closeEvent(QCloseEvent *event)
{
    event->accept();
    ProgramEnd::EndProgram();
}
