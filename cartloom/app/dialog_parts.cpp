#include "cartloom/app/dialog_parts.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QColor kMaroon(0x80, 0x00, 0x00);
constexpr int kGameNamePixels = 13;
constexpr int kSmallestPixels = 9;
// The inner right edge of the size dialogs' bevel (8 + 281, less its frame).
constexpr int kBevelRight = 287;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, top, 75, 25);
    return b;
}

}  // namespace

TRadioGroup::TRadioGroup(QWidget* parent, const char* name, const QString& caption,
                         std::initializer_list<const char*> items)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
    setObjectName(QString::fromLatin1(name));
    auto* column = new QVBoxLayout(this);
    int id = 0;
    for (const char* item : items) {
        auto* r = new QRadioButton(QString::fromLatin1(item), this);
        r->setObjectName(QString::fromLatin1(item));
        buttons_->addButton(r, id++);
        column->addWidget(r);
    }
    SetItemIndex(0);
}

int TRadioGroup::ItemIndex() const {
    return buttons_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* b = buttons_->button(index)) b->setChecked(true);
}

QStringList TRadioGroup::Items() const {
    QStringList texts;
    for (QAbstractButton* b : buttons_->buttons()) texts << b->text();
    return texts;
}

void SetUpDialog(QDialog* dialog, const char* name, const char* caption, int width, int height) {
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setWindowTitle(QString::fromLatin1(caption));
    dialog->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    dialog->setFixedSize(width, height);
    dialog->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    }
}

QFrame* MakeBevel(QWidget* parent, int left, int top, int width, int height) {
    auto* f = new QFrame(parent);
    f->setObjectName(QStringLiteral("Bevel1"));
    f->setFrameStyle(QFrame::Box | QFrame::Sunken);
    f->setGeometry(left, top, width, height);
    return f;
}

QPushButton* MakeOkButton(QDialog* dialog, int left, int top) {
    QPushButton* b = MakeButton(dialog, "OKBtn", "OK", left, top);
    b->setDefault(true);
    QObject::connect(b, &QPushButton::clicked, dialog, &QDialog::accept);
    return b;
}

QPushButton* MakeCancelButton(QDialog* dialog, int left, int top) {
    QPushButton* b = MakeButton(dialog, "CancelBtn", "Cancel", left, top);
    QObject::connect(b, &QPushButton::clicked, dialog, &QDialog::reject);
    return b;
}

QLabel* MakeGameNameLabel(QWidget* parent) {
    auto* l = new QLabel(QStringLiteral("GameName"), parent);
    l->setObjectName(QStringLiteral("GameName"));
    l->setGeometry(56, 16, 90, 16);
    QFont font = l->font();
    font.setPixelSize(kGameNamePixels);
    font.setBold(true);
    font.setItalic(true);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, kMaroon);
    l->setPalette(palette);
    return l;
}

void SetGameName(QLabel* label, const std::string& title) {
    const QString text = QStringLiteral("GameName=") + QString::fromStdString(title);
    // Titles run longer than the design width: the label grows to the right, up to the bevel's
    // inner edge, and a smaller font shows a title whole that would run past it; one that still
    // does not fit ends in "...", and its hint shows it whole.
    const int room = kBevelRight - label->x();
    QFont font = label->font();
    font.setPixelSize(kGameNamePixels);
    while (QFontMetrics(font).horizontalAdvance(text) > room &&
           font.pixelSize() > kSmallestPixels) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    label->setFont(font);
    label->setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, room));
    label->setToolTip(text);
    label->resize(std::clamp(label->sizeHint().width(), 90, room), label->height());
}
