// Asks before the whole cartridge is erased.
#pragma once

#include <QDialog>

class TErase_Dlg : public QDialog {
    Q_OBJECT

  public:
    explicit TErase_Dlg(QWidget* parent = nullptr);
};

extern TErase_Dlg* Erase_Dlg;
