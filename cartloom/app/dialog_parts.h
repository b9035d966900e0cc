// The parts the three dialogs are built from: the radio group, the fixed frame, the bevel, the
// OK and Cancel buttons and the game name label.
#pragma once

#include <QGroupBox>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <string>

class QButtonGroup;
class QDialog;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;
// A captioned group of radio buttons, one per item, of which exactly one is checked.
class TRadioGroup : public QGroupBox {
    Q_OBJECT

  public:
    TRadioGroup(QWidget* parent, const char* name, const QString& caption,
                std::initializer_list<const char*> items);

    // The checked item, counted from 0.
    int ItemIndex() const;
    void SetItemIndex(int index);
    QStringList Items() const;

  private:
    QButtonGroup* buttons_;
};

// Fixed size, the dialogs' font, centred on the screen.
void SetUpDialog(QDialog* dialog, const char* name, const char* caption, int width, int height);
// A framed, lowered bevel.
QFrame* MakeBevel(QWidget* parent, int left, int top, int width, int height);
// OKBtn accepts and is the default button (Enter); CancelBtn rejects (Escape does the same).
QPushButton* MakeOkButton(QDialog* dialog, int left, int top);
QPushButton* MakeCancelButton(QDialog* dialog, int left, int top);
// The maroon, bold italic title label of the two size dialogs.
QLabel* MakeGameNameLabel(QWidget* parent);
// Sets it to "GameName=" followed by the title (UTF-8).
void SetGameName(QLabel* label, const std::string& title);
