// Asks for the size of the save-data area to save.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class TRadioGroup;

class TSaveDataSizeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TSaveDataSizeDialog(QWidget* parent = nullptr);

    QFrame* Bevel1;
    QLabel* GameName;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    TRadioGroup* SaveDataSize;  // "32K", "64K", "128K"
};

extern TSaveDataSizeDialog* SaveDataSizeDialog;
