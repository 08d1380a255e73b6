#include "frmopen.h"

#include "ui_frmOpen.h"

#include <QKeyEvent>

frmOpen::frmOpen(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , ui(new Ui::frmOpen)
{
    ui->setupUi(this);
}

frmOpen::~frmOpen()
{
    delete ui;
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
