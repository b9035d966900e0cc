// Proposes how much of the cartridge a backup saves.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class TRadioGroup;

class TBackupDataSizeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TBackupDataSizeDialog(QWidget* parent = nullptr);

    QFrame* Bevel1;
    QLabel* GameName;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    TRadioGroup* BackupDataSize;  // "4M", "8M", "16M", "32M"
};

extern TBackupDataSizeDialog* BackupDataSizeDialog;
