#include "cartloom/app/save_data_size_dialog.h"

#include "cartloom/app/dialog_parts.h"

TSaveDataSizeDialog* SaveDataSizeDialog = nullptr;

TSaveDataSizeDialog::TSaveDataSizeDialog(QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, "SaveDataSizeDialog", "Save Data Size Dialog", 384, 179);
    Bevel1 = MakeBevel(this, 8, 8, 281, 161);
    GameName = MakeGameNameLabel(this);
    OKBtn = MakeOkButton(this, 300, 8);
    CancelBtn = MakeCancelButton(this, 300, 38);
    SaveDataSize = new TRadioGroup(this, "SaveDataSize", QStringLiteral("Save Data Size"),
                                   {"32K", "64K", "128K"});
    SaveDataSize->setGeometry(51, 37, 185, 105);
}
