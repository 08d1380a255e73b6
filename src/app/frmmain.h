#pragma once

#include "pacedsender.h"
#include "panelsettings.h"
#include "replydispatch.h"
#include "seriallink.h"
#include "settingscollector.h"
#include "transferprogress.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

namespace Ui {
class frmmain;
}
class PortLamps;
class frmPassWord;
class frmOpen;
class RecordStore;
class CompareDialog;

// The main window: owns every settings control, the port, the progress
// and the reply dispatch, and runs the start-up search from Form_Load.
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

    SerialLink &link() { return MSComm1; }
    ReplyDispatch &dispatch() { return m_dispatch; }
    PortLamps &lamps() { return *m_lamps; }
    int PortIndex() const { return MSComm1.portNumber(); }
    const TransferProgress &progress() const { return m_progress; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void open_com_Click();
    void Close_com_Click();
    void eqit_Click();
    void About_Click();

    // The stored records (frmmain_records.cpp).
    void File_open_Click();
    void File_save_Click();
    void File_del_Click();
    void SaveRecord();
    void DeleteRecord(const QString &number);
    void LoadRecord(const QString &key, int mode);
    void CopyRecordToWindow(const PanelSettings &record);
    void addRecordsLine();

    void showPasswordDialog();
    void sendPassword(const QString &password);
    void passwordAccepted();
    void passwordRefused();
    void showPortTried(int port, bool opened, const QString &device, const QString &detail);
    void portLost(const QString &reason);
    void reopenPanelPort();
    bool send(const QString &frame);

    // Settings download and upload, zone messages (frmmain_transfer.cpp).
    void connectTransfer();
    void ComSend_Click();
    void CmdRead_Click();
    void CmdDXSend_Click();
    void Command2_Click();
    void alignRelayLists();
    void receivingNumberReply(int number, const QString &reply);
    void gsmNumberReply(int number, const QString &reply);
    void passwordRelaysReply(const QString &reply);
    void reminderReply(const QString &reply);
    void zoneTextReceived(const QString &reply);

    // Setting > Compare with panel, Help > Protocol trace (frmmain_compare.cpp).
    void connectCompareAndTrace();
    void compareWithPanel();
    void endComparison(const QString &note);
    void comparisonFinished(SettingsCollector::End end);

    Ui::frmmain *ui;
    SerialLink MSComm1;
    TransferProgress m_progress;
    ReplyDispatch m_dispatch;
    PacedSender m_download;
    SettingsCollector m_comparison;
    PanelSettings m_comparedWindow; // the window as read when the comparison began
    QString m_comparisonNote;       // why it ended early
    QPointer<CompareDialog> m_compareDialog;
    PortLamps *m_lamps;
    QPointer<frmPassWord> m_passwordDialog;
    bool m_searching = false;       // the start-up search decides about lost ports
    QStringList m_searchReport;     // one line per port tried, for the failure message
    std::unique_ptr<RecordStore> m_records;
    QPointer<frmOpen> m_openDialog;
};
