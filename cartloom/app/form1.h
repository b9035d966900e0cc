// The main window: a row of picture buttons, the status LED and labels, the log and the progress
// bar. The operations behind the buttons live in their own files; this class only holds the
// controls and routes clicks and ticks to them.
#pragma once

#include <QWidget>
#include <memory>

class QCloseEvent;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QTimer;
class QToolButton;
class TFileDialog;
class TOperationWindow;

class TForm1 : public QWidget {
    Q_OBJECT

  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    QToolButton* Write;
    QToolButton* Info;
    QToolButton* Erase;
    QToolButton* SaveData;
    QToolButton* RestoreData;
    QToolButton* Backup;
    QToolButton* Verify;
    QToolButton* Stop;
    QToolButton* Exit;
    QLabel* padr;
    QLabel* ptype;
    QLabel* fsize;
    QLabel* LED_RED;
    QLabel* LED_REDX;
    QLabel* LED_GRN;
    QLabel* LED_GRNX;
    QPlainTextEdit* Memo1;
    QProgressBar* ProgressBar1;
    QLabel* Label3;
    QLabel* Label2;
    TFileDialog* OpenDialog1;
    TFileDialog* SaveDialog1;
    QTimer* Timer1;

    // Click and tick handlers, one per control.
    void WriteClick();
    void VerifyClick();
    void InfoClick();
    void EraseClick();
    void BackupClick();
    void SaveDataClick();
    void RestoreDataClick();
    void StopClick();
    void ExitClick();
    void Timer1Timer();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();

    // What the operations report to while this window exists.
    std::unique_ptr<TOperationWindow> operation_window_;
};

// The one main window of the process, set while it exists.
extern TForm1* Form1;

// Timer1 on (the poll runs) or off, each followed by PumpMessages.
void StartPolling();
void StopPolling();
