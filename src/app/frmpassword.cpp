#include "frmpassword.h"

#include "programend.h"
#include "ui_frmPassWord.h"

#include <QKeyEvent>

frmPassWord::frmPassWord(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , ui(new Ui::frmPassWord)
{
    ui->setupUi(this); // the form masks the password with "*"
    ui->Text1->setFocus();
    connect(ui->Command1, &QPushButton::clicked, this, &frmPassWord::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmPassWord::Command2_Click);
}

frmPassWord::~frmPassWord()
{
    delete ui;
}

void frmPassWord::keyPressEvent(QKeyEvent *event)
{
    // No button answers Esc; the close box still closes the dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmPassWord::Command1_Click()
{
    emit passwordEntered(ui->Text1->text());
}

void frmPassWord::Command2_Click()
{
    ProgramEnd::EndProgram();
}
