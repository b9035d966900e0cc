#include "cartloom/app/form1.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include "cartloom/app/file_dialog.h"
#include "cartloom/app/operation_window.h"
#include "cartloom/link/bus.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/operation_state.h"

TForm1* Form1 = nullptr;

// Resources of a static library are registered by hand, from outside any namespace.
static void LoadPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace {

// How soon a window closed during an operation tries again.
constexpr int kCloseRetryMs = 100;

QToolButton* PictureButton(QWidget* parent, const char* name, int left, const char* picture,
                           const char* hint, bool enabled) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 16, 24, 24);
    b->setAutoRaise(true);  // flat until the mouse is over it
    b->setFocusPolicy(Qt::NoFocus);
    b->setIcon(QIcon(QStringLiteral(":/pictures/%1.png").arg(QString::fromLatin1(picture))));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(QString::fromLatin1(hint));
    b->setEnabled(enabled);
    return b;
}

QLabel* TextLabel(QWidget* parent, const char* name, int left, int top, int width) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(left, top, width, 13);
    return l;
}

QLabel* LedPicture(QWidget* parent, const char* name, const char* picture) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(400, 8, 16, 16);
    l->setPixmap(QPixmap(QStringLiteral(":/pictures/%1.png").arg(QString::fromLatin1(picture))));
    l->hide();
    return l;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent), operation_window_(std::make_unique<TOperationWindow>(this)) {
    Form1 = this;
    BuildControls();

    SetLinkCaptionObserver([this](LinkLabel label, const std::string& caption) {
        QLabel* target = label == LinkLabel::padr    ? padr
                         : label == LinkLabel::ptype ? ptype
                                                     : fsize;
        target->setText(QString::fromStdString(caption));
    });
    SetOperationWindow(operation_window_.get());

    LinkState.PortFound = false;
    Busy = false;
    Label2->clear();
    Label3->clear();
    padr->clear();
    ptype->clear();
    fsize->clear();
    StartPolling();
    EndOperation();
    PumpMessages();
}

TForm1::~TForm1() {
    SetOperationWindow(nullptr);
    SetLinkCaptionObserver(nullptr);
    CloseImageFile();
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::BuildControls() {
    LoadPictures();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("CARTLOOM Version 1.2"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(437, 305);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    Write = PictureButton(this, "Write", 16, "write", "Write data to Cart", false);
    Info = PictureButton(this, "Info", 48, "info", "Infomation", false);
    Erase = PictureButton(this, "Erase", 80, "erase", "Erase All Data", true);
    SaveData = PictureButton(this, "SaveData", 112, "savedata", "Save Data to File", true);
    RestoreData =
        PictureButton(this, "RestoreData", 144, "restoredata", "Restore Data From File", true);
    Backup = PictureButton(this, "Backup", 176, "backup", "backup", true);
    Verify = PictureButton(this, "Verify", 208, "verify", "Verify Cart data with file", false);
    Stop = PictureButton(this, "Stop", 272, "stop", "Stop Processing", false);
    Exit = PictureButton(this, "Exit", 320, "exit", "Exit Program", true);

    padr = TextLabel(this, "padr", 360, 16, 36);
    ptype = TextLabel(this, "ptype", 360, 32, 36);
    fsize = TextLabel(this, "fsize", 400, 32, 32);
    LED_RED = LedPicture(this, "LED_RED", "led_red");
    LED_REDX = LedPicture(this, "LED_REDX", "led_redx");
    LED_GRN = LedPicture(this, "LED_GRN", "led_grn");
    LED_GRNX = LedPicture(this, "LED_GRNX", "led_grnx");

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 64, 417, 185);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(16, 260, 349, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Label3 = TextLabel(this, "Label3", 377, 258, 56);
    Label2 = TextLabel(this, "Label2", 16, 282, 200);

    OpenDialog1 = new TFileDialog(this, QFileDialog::AcceptOpen);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    SaveDialog1 = new TFileDialog(this, QFileDialog::AcceptSave);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setNameFilter(QStringLiteral("All files (*)"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(Write, &QToolButton::clicked, this, &TForm1::WriteClick);
    connect(Info, &QToolButton::clicked, this, &TForm1::InfoClick);
    connect(Erase, &QToolButton::clicked, this, &TForm1::EraseClick);
    connect(SaveData, &QToolButton::clicked, this, &TForm1::SaveDataClick);
    connect(RestoreData, &QToolButton::clicked, this, &TForm1::RestoreDataClick);
    connect(Backup, &QToolButton::clicked, this, &TForm1::BackupClick);
    connect(Verify, &QToolButton::clicked, this, &TForm1::VerifyClick);
    connect(Stop, &QToolButton::clicked, this, &TForm1::StopClick);
    connect(Exit, &QToolButton::clicked, this, &TForm1::ExitClick);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The running operation owns the port and the open file: closing acts as Stop, and the
    // window closes once the operation has given them back.
    if (Busy) {
        CloseRequested = true;
        StopRequested = true;
        event->ignore();
        QTimer::singleShot(kCloseRetryMs, this, &QWidget::close);
        return;
    }
    QWidget::closeEvent(event);
}
