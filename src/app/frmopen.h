#pragma once

#include <QDialog>

namespace Ui {
class frmOpen;
}
class RecordStore;

// "Open": finds a stored record by its number or its name.
class frmOpen : public QDialog
{
    Q_OBJECT
public:
    explicit frmOpen(QWidget *parent = nullptr);
    ~frmOpen() override;

    // Fills the lists with every stored number and name, once, and selects
    // "Code:". False when the store failed; the message has been shown.
    bool Form_Load(RecordStore &store);

signals:
    // OK with an option selected: the key typed or chosen, and the search
    // mode (0 by number, 1 by name).
    void recordChosen(const QString &key, int mode);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void CmdOK_Click();
    void CmdExit_Click();

    Ui::frmOpen *ui;
};
