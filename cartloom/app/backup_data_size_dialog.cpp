#include "cartloom/app/backup_data_size_dialog.h"

#include "cartloom/app/dialog_parts.h"

TBackupDataSizeDialog* BackupDataSizeDialog = nullptr;

TBackupDataSizeDialog::TBackupDataSizeDialog(QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, "BackupDataSizeDialog", "Backup Data Size Dialog", 384, 179);
    Bevel1 = MakeBevel(this, 8, 8, 281, 161);
    GameName = MakeGameNameLabel(this);
    OKBtn = MakeOkButton(this, 300, 8);
    CancelBtn = MakeCancelButton(this, 300, 38);
    BackupDataSize =
        new TRadioGroup(this, "BackupDataSize", QStringLiteral("Override Autodect Data Size"),
                        {"4M", "8M", "16M", "32M"});
    BackupDataSize->setGeometry(51, 37, 185, 105);
}
