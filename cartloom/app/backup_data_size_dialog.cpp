#include "cartloom/app/backup_data_size_dialog.h"

TBackupDataSizeDialog* BackupDataSizeDialog = nullptr;

TBackupDataSizeDialog::TBackupDataSizeDialog(QWidget* parent) : QDialog(parent) { setObjectName("BackupDataSizeDialog"); }
