#include "frmpassword.h"

#include "programend.h"
#include "ui_frmPassWord.h"

#include <QKeyEvent>
#include <QProxyStyle>

namespace {

// Shows every password character as "*", whatever the desktop style uses.
class AsteriskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

frmPassWord::frmPassWord(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , ui(new Ui::frmPassWord)
{
    ui->setupUi(this);
    auto *style = new AsteriskStyle;
    style->setParent(this);
    ui->Text1->setStyle(style);
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
