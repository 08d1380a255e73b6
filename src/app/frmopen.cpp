#include "frmopen.h"

#include "busycursor.h"
#include "messages.h"
#include "recordstore.h"
#include "ui_frmOpen.h"

#include <QKeyEvent>

frmOpen::frmOpen(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , ui(new Ui::frmOpen)
{
    ui->setupUi(this);
    // The key is exactly what was typed: no completion from the list. The
    // form has Enter add nothing to it, and its width not measured from
    // the items, of which there may be thousands.
    for (QComboBox *list : {ui->Text1, ui->Text2})
        list->setCompleter(nullptr);
    connect(ui->CmdOK, &QPushButton::clicked, this, &frmOpen::CmdOK_Click);
    connect(ui->CmdExit, &QPushButton::clicked, this, &frmOpen::CmdExit_Click);
}

frmOpen::~frmOpen()
{
    delete ui;
}

bool frmOpen::Form_Load(RecordStore &store)
{
    RecordStore::Keys keys;
    QString error;
    if (!underBusyCursor([&] { return store.listKeys(&keys, &error); })) {
        Messages::inform(parentWidget(), error, QLatin1String(Messages::SystemInformation));
        return false;
    }
    ui->Text1->addItems(keys.numbers);
    ui->Text2->addItems(keys.names);
    ui->Text1->setCurrentIndex(-1);
    ui->Text2->setCurrentIndex(-1);
    ui->Option1->setChecked(true);
    return true;
}

void frmOpen::CmdOK_Click()
{
    if (ui->Option1->isChecked())
        emit recordChosen(ui->Text1->currentText(), 0);
    if (ui->Option2->isChecked())
        emit recordChosen(ui->Text2->currentText(), 1);
    close();
}

void frmOpen::CmdExit_Click()
{
    close();
}

void frmOpen::keyPressEvent(QKeyEvent *event)
{
    // Neither Enter nor Esc presses a button here.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return
        || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
