#pragma once

#include "panelsession.h"
#include "panelsettings.h"
#include "settingsform.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

namespace Ui {
class frmmain;
}
class PortLamps;
class frmPassWord;
class frmOpen;
class QProgressDialog;
class frmHistory;
class RecordStore;
class CompareDialog;

// The main window: a view of the panel session. It reads its controls into
// settings when an operation starts, hands them to the session, writes the
// results back and shows the session's messages.
class frmmain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmmain(QWidget *parent = nullptr);
    ~frmmain() override;

    // Start-up: the record's start values, then the search for the panel
    // and the password test. False when the program is ending instead.
    bool Form_Load();
    // The zone numbers and the record's start values.
    void InitialiseRecord();

    PanelSettings settings() const;
    void setSettings(const PanelSettings &settings);
    void ClearSettings();

    PanelSession &session() { return m_session; }
    PortLamps &lamps() { return *m_lamps; }
    int PortIndex() const { return m_session.link().portNumber(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showMessage(const SessionMessage &message);
    void showPortTried(int port, bool opened, const QString &device, const QString &detail);
    void showPasswordDialog();
    void passwordAccepted();
    void eqit_Click();

    // The transfers (frmmain_transfer.cpp).
    void connectTransfer();
    void ComSend_Click();
    void CmdRead_Click();
    void CmdDXSend_Click();
    void Command2_Click();

    // The stored records (frmmain_records.cpp).
    void File_open_Click();
    void File_save_Click();
    void File_del_Click();
    void SaveRecord();
    void DeleteRecord(const QString &number);
    void LoadRecord(const QString &key, int mode);
    void CopyRecordToWindow(const PanelSettings &record);
    void addRecordsLine();

    // The programming history (frmmain_history.cpp).
    void connectHistory();
    void File_history_Click();
    void recordHistory(const OperationEnd &end);

    // Setting > Compare with panel, Help > Protocol trace (frmmain_compare.cpp).
    void connectCompareAndTrace();
    void compareWithPanel();

    Ui::frmmain *ui;
    PanelSession m_session;
    PortLamps *m_lamps;
    QPointer<frmPassWord> m_passwordDialog;
    QPointer<CompareDialog> m_compareDialog;
    std::unique_ptr<RecordStore> m_records;
    QPointer<frmOpen> m_openDialog;
    QPointer<QProgressDialog> m_recordWait;
    QPointer<frmHistory> m_historyWindow;
    bool m_historyFailureTold = false; // a history entry that could not be written is told once // while a store call waits for the server
    QList<CutValue> m_cutValues; // of the record opened last, while their fields are untouched
};
