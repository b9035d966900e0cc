// Proposes the size of the save-data area to save or restore.
#pragma once

#include <QDialog>

class TSaveDataSizeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TSaveDataSizeDialog(QWidget* parent = nullptr);
};

extern TSaveDataSizeDialog* SaveDataSizeDialog;
