// Asks before the whole cartridge is erased.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TErase_Dlg : public QDialog {
    Q_OBJECT

  public:
    explicit TErase_Dlg(QWidget* parent = nullptr);

    QFrame* Bevel1;
    QLabel* Label1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

extern TErase_Dlg* Erase_Dlg;
