#include "cartloom/app/dialogs.h"

#include "cartloom/app/backup_data_size_dialog.h"
#include "cartloom/app/erase_dlg.h"
#include "cartloom/app/save_data_size_dialog.h"

void CreateDialogs() {
    Erase_Dlg = new TErase_Dlg();
    BackupDataSizeDialog = new TBackupDataSizeDialog();
    SaveDataSizeDialog = new TSaveDataSizeDialog();
}

void DestroyDialogs() {
    delete SaveDataSizeDialog;
    SaveDataSizeDialog = nullptr;
    delete BackupDataSizeDialog;
    BackupDataSizeDialog = nullptr;
    delete Erase_Dlg;
    Erase_Dlg = nullptr;
}
