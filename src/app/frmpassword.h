#pragma once

#include <QDialog>
#include <QElapsedTimer>

namespace Ui {
class frmPassWord;
}

// "Operation test": asks for the panel's password. OK (or Enter) hands the
// typed text on; the panel's answer closes the dialog from outside.
class frmPassWord : public QDialog
{
    Q_OBJECT
public:
    explicit frmPassWord(QWidget *parent = nullptr);
    ~frmPassWord() override;

signals:
    void passwordEntered(const QString &password);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Command1_Click();
    void Command2_Click();

    Ui::frmPassWord *ui;
    QElapsedTimer m_lastSent; // since the last OK that sent the password
};
