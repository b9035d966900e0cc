#include "cartloom/app/save_data_size_dialog.h"

TSaveDataSizeDialog* SaveDataSizeDialog = nullptr;

TSaveDataSizeDialog::TSaveDataSizeDialog(QWidget* parent) : QDialog(parent) { setObjectName("SaveDataSizeDialog"); }
