#include "frmpassword.h"

#include "programend.h"
#include "ui_frmPassWord.h"

#include <QApplication>
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
    // Password frames carry no length: two sent within a few milliseconds
    // reach the panel as one, which it refuses. The second press of a
    // double-click sends nothing.
    if (m_lastSent.isValid() && m_lastSent.elapsed() < QApplication::doubleClickInterval())
        return;
    m_lastSent.start();
    emit passwordEntered(ui->Text1->text());
}

void frmPassWord::Command2_Click()
{
    ProgramEnd::EndProgram();
}
