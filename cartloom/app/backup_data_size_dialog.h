// Proposes how much of the cartridge a backup saves.
#pragma once

#include <QDialog>

class TBackupDataSizeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TBackupDataSizeDialog(QWidget* parent = nullptr);
};

extern TBackupDataSizeDialog* BackupDataSizeDialog;
