#include "cartloom/app/erase_dlg.h"

TErase_Dlg* Erase_Dlg = nullptr;

TErase_Dlg::TErase_Dlg(QWidget* parent) : QDialog(parent) { setObjectName("Erase_Dlg"); }
