#include "tests/cartloom_app/window_rig.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <stdexcept>

#include "cartloom/app/dialogs.h"
#include "cartloom/app/image_header.h"
#include "cartloom/app/operation_state.h"
#include "cartloom/link/bus.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"

namespace {

void ResetProcessState() {
    LinkState = LinkStateRecord{};
    CartSize = 0;
    BlockBuffer.fill(0);
    Busy = false;
    StopRequested = false;
    ElapsedSeconds = 0;
    BlinkPhase = true;
    ImageSize = 0;
    ProgressTotal = 0;
    CartTitle.clear();
    CartCaption.clear();
    DataBlocks = 0;
}

}  // namespace

WindowRig::WindowRig(const QByteArray& cart, const std::string& opts) {
    cart_path_ = dir_.filePath(QStringLiteral("cart.bin"));
    QFile f(cart_path_);
    if (!f.open(QIODevice::WriteOnly) || f.write(cart) != cart.size()) {
        throw std::runtime_error("cannot write the cartridge file");
    }
    f.close();
    std::string error;
    device_ = linksim::OpenDevice(cart_path_.toStdString(), opts, &error);
    if (!device_) throw std::runtime_error(error);
    auto port = std::make_unique<testsupport::RecordingPort>(device_.get());
    port->set_recording(false);
    port_ = port.get();
    previous_ = portio::InstallBackend(std::move(port));

    ResetProcessState();
    form_ = std::make_unique<TForm1>();
    CreateDialogs();
    form_->show();
}

WindowRig::~WindowRig() {
    DestroyDialogs();
    form_.reset();
    portio::InstallBackend(std::move(previous_));
}

QStringList WindowRig::Log() const {
    return form_->Memo1->toPlainText().split(QLatin1Char('\n'));
}

QByteArray WindowRig::Cart() const {
    return QByteArray(reinterpret_cast<const char*>(device_->Cart()), int(device_->CartBytes()));
}

QString WindowRig::AddFile(const QString& name, const QByteArray& contents) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(contents) != contents.size()) {
        throw std::runtime_error("cannot write a test file");
    }
    return path;
}

void WindowRig::Tick(int ticks) {
    for (int i = 0; i < ticks; ++i) form_->Timer1Timer();
}

bool WindowRig::ClickAndChoose(QToolButton* button, const QString& path,
                               const std::function<void()>& chosen) {
    bool shown = false;
    QObject guard;  // pending answers die with it when the click returns without a dialog
    // Answers the dialog from inside its own event loop, once it is up.
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            QTimer::singleShot(5, &guard, answer);
            return;
        }
        shown = true;
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
            if (chosen) chosen();
        }
    };
    QTimer::singleShot(0, &guard, answer);
    button->click();
    return shown;
}

QByteArray MakeImage(int bytes, const char* title) {
    QByteArray image(bytes, char(0xFF));
    image.replace(0, 0x40, QByteArray(0x40, '\0'));
    std::memcpy(image.data(), "COPYRIGHT BY SNK CORPORATION", 28);
    image[0x23] = char(0x10);
    image.replace(0x24, int(std::strlen(title)), title);
    std::uint32_t x = 12345;
    for (int i = 0x40; i < bytes; ++i) {
        x = x * 1103515245u + 12345u;
        // Every 4 KB starts with a run of erased bytes, as real images have past their code.
        if ((i & 0xFFF) < 0x100) continue;
        image[i] = char((x >> 16) & 0xFF);
    }
    return image;
}
