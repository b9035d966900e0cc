#include "cartloom/app/erase_dlg.h"

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <algorithm>

#include "cartloom/app/dialog_parts.h"

TErase_Dlg* Erase_Dlg = nullptr;

TErase_Dlg::TErase_Dlg(QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, "Erase_Dlg", "Erase Dialog", 255, 173);
    Bevel1 = MakeBevel(this, 8, 8, 233, 121);

    Label1 = new QLabel(QStringLiteral("Erase All Data?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(38, 56, 163, 29);
    QFont font = Label1->font();
    font.setPixelSize(24);
    Label1->setFont(font);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(palette);
    // Where the design font is missing a wider one stands in: the label grows to show the
    // whole question, as an autosized label does.
    Label1->resize(std::max(163, Label1->sizeHint().width()), 29);

    OKBtn = MakeOkButton(this, 34, 140);
    CancelBtn = MakeCancelButton(this, 147, 140);
}
