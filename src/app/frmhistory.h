#pragma once

#include "historyentry.h"

#include <QDialog>

namespace Ui {
class frmHistory;
}
class RecordStore;

// File > History...: the newest entries of the programming history, the
// settings of the one selected, and "Show in window" to put them back.
// Not modal: the main window stays usable beside it.
class frmHistory : public QDialog
{
    Q_OBJECT
public:
    frmHistory(RecordStore &store, QWidget *parent = nullptr);
    ~frmHistory() override;

    // Reads the newest entries (only those of number, when the box is
    // ticked and number is not empty). False when the store failed; the
    // message has been shown.
    bool Form_Load(const QString &number);

    // The newest entries the window lists.
    static constexpr int Listed = 1000;

signals:
    void showSettings(const PanelSettings &settings);

private:
    void showEntry();

    Ui::frmHistory *ui;
    RecordStore &m_store;
    QString m_number;
    QList<HistoryEntry> m_entries;
};
