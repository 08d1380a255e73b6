// The File menu's records: save, delete and open.
#include "frmmain.h"

#include "busycursor.h"
#include "frmopen.h"
#include "messages.h"
#include "recordstore.h"
#include "tofront.h"
#include "ui_frmmain.h"

#include <QApplication>
#include <QProgressDialog>
#include <QScreen>

using Messages::SystemInformation;

namespace {

// Drops the user's input while it lives.
class InputDropper : public QObject
{
public:
    InputDropper() { qApp->installEventFilter(this); }
    ~InputDropper() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void frmmain::File_save_Click()
{
    SaveRecord();
}

void frmmain::File_del_Click()
{
    DeleteRecord(ui->TxtAni->text());
}

void frmmain::SaveRecord()
{
    if (ui->TxtAni->text().trimmed().isEmpty()) {
        Messages::inform(this, QStringLiteral("Please input No!"));
        return;
    }
    QString error;
    RecordStore::Outcome outcome = underBusyCursor(
        [&] { return m_records->save(settings(), RecordStore::SaveMode::AddOnly, &error); });
    if (outcome == RecordStore::Outcome::Exists) {
        // The store is not held while the question is open; the window is
        // read again after Yes, and the row is looked up anew.
        if (!Messages::ask(this, QStringLiteral("this No. is existed, replace it?"), QStringLiteral("inquire")))
            return;
        outcome = underBusyCursor([&] { return m_records->save(settings(), RecordStore::SaveMode::Replace, &error); });
    }
    switch (outcome) {
    case RecordStore::Outcome::Added:
        Messages::inform(this, QStringLiteral("add success!"));
        break;
    case RecordStore::Outcome::Replaced:
        Messages::inform(this, QStringLiteral("edit success!"));
        break;
    default:
        Messages::inform(this, error, SystemInformation);
        break;
    }
}

void frmmain::DeleteRecord(const QString &number)
{
    if (ui->TxtAni->text().trimmed().isEmpty()) {
        Messages::inform(this, QStringLiteral("Please input No!"));
        return;
    }
    QString error;
    switch (underBusyCursor([&] { return m_records->remove(number, &error); })) {
    case RecordStore::Outcome::Removed:
        Messages::inform(this, QStringLiteral("Delete success!"));
        break;
    case RecordStore::Outcome::NotFound:
        break;
    default:
        Messages::inform(this, error, SystemInformation);
        break;
    }
}

void frmmain::File_open_Click()
{
    if (m_openDialog) {
        bringToFront(m_openDialog);
        return;
    }
    auto *dialog = new frmOpen(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!dialog->Form_Load(*m_records)) {
        delete dialog;
        return;
    }
    connect(dialog, &frmOpen::recordChosen, this, &frmmain::LoadRecord);
    m_openDialog = dialog;
    const QRect area = screen()->availableGeometry();
    dialog->move(area.center() - dialog->rect().center());
    dialog->show();
}

void frmmain::LoadRecord(const QString &key, int mode)
{
    const bool byName = mode == 1;
    if (key.isEmpty()) {
        Messages::inform(this, byName ? QStringLiteral("Please input Name!") : QStringLiteral("Please input No!"));
        return;
    }
    PanelSettings stored;
    QString error;
    const RecordStore::Key by = byName ? RecordStore::Key::Name : RecordStore::Key::Number;
    switch (underBusyCursor([&] { return m_records->find(by, key, &stored, &error); })) {
    case RecordStore::Outcome::Found:
        ClearSettings();
        CopyRecordToWindow(stored);
        break;
    case RecordStore::Outcome::NotFound:
        Messages::inform(this, QStringLiteral("No this No, please check!"));
        break;
    default:
        Messages::inform(this, error, SystemInformation);
        break;
    }
}

void frmmain::CopyRecordToWindow(const PanelSettings &record)
{
    setSettings(record);
    m_cutValues = cutValues(*ui, record);
    if (m_cutValues.isEmpty())
        return;
    QStringList fields;
    for (const CutValue &cut : std::as_const(m_cutValues))
        fields << QStringLiteral("%1: %2").arg(cut.label, cut.value);
    Messages::inform(this,
                     QStringLiteral("Some values of this record are longer than their fields and are shown cut:\n%1\n"
                                    "Download refuses them and Save keeps them as stored until you correct them.")
                         .arg(fields.join(QLatin1Char('\n'))),
                     SystemInformation);
}

// A disabled line at the end of the File menu names the store a save goes to.
void frmmain::addRecordsLine()
{
    ui->File->addSeparator()->setObjectName(QStringLiteral("recordsSeparator"));
    QAction *line = ui->File->addAction(QStringLiteral("Records: ") + m_records->description());
    line->setObjectName(QStringLiteral("recordsInUse"));
    line->setToolTip(m_records->location());
    line->setEnabled(false);

    // A call that waits for the record server says so; the window repaints
    // meanwhile and takes no clicks until the call ends.
    m_records->setWaitNotice([this](bool waiting) {
        if (!waiting) {
            // Clicks and keys held back while the box was up were meant for
            // nothing: they go, as with any modal box.
            InputDropper dropper;
            QCoreApplication::processEvents();
            delete m_recordWait;
            return;
        }
        m_recordWait = new QProgressDialog(
            QStringLiteral("Waiting for the record server %1 ...").arg(m_records->location()), QString(), 0, 0, this);
        m_recordWait->setObjectName(QStringLiteral("recordWait"));
        m_recordWait->setWindowTitle(QLatin1String(SystemInformation));
        m_recordWait->setWindowModality(Qt::WindowModal);
        m_recordWait->setMinimumDuration(0);
        m_recordWait->show();
    });
}
