#pragma once

#include <QDialog>

namespace Ui {
class frmOpen;
}

// "Open": finds a stored record by its number or its name.
class frmOpen : public QDialog
{
    Q_OBJECT
public:
    explicit frmOpen(QWidget *parent = nullptr);
    ~frmOpen() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Ui::frmOpen *ui;
};
