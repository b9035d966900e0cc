#include "tests/window_rig/window_rig.h"

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "cartloom/app/dialogs.h"
#include "cartloom/app/form1.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/image_header.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/save_area.h"
#include "tests/window_rig/dialog_script.h"
#include "tools/image_gen.h"

namespace windowtest {
namespace {

constexpr std::uint16_t kEppAddress = 0x37B;
constexpr std::uint16_t kEppData = 0x37C;
constexpr std::uint8_t kChipSelectAccess = 0x02;

// Each owner of process-wide state puts its own back as at program start.
void ResetProcessState() {
    ResetLinkState();
    ResetBlockState();
    ResetDetectionState();
    ResetOperationState();
    ResetHeaderState();
    ResetSaveDataState();
}

}  // namespace

Bytes Blank(std::uint32_t bytes) {
    return Bytes(bytes, 0xFF);
}

Bytes GameImage(std::uint32_t bytes, const std::string& title) {
    imagegen::ImageSpec spec;
    spec.size_bytes = bytes;
    spec.title = title;
    return imagegen::MakeImage(spec);
}

Bytes CartWith(const Bytes& image, std::uint32_t cart_bytes) {
    Bytes cart = Blank(cart_bytes);
    std::copy(image.begin(), image.end(), cart.begin());
    return cart;
}

Bytes MakeCart(std::uint32_t cart_bytes, unsigned game_mbit, bool colour,
               const std::string& title) {
    Bytes cart(cart_bytes, 0xFF);
    if (game_mbit == 0) return cart;
    imagegen::ImageSpec spec;
    spec.size_mbit = game_mbit;
    spec.colour = colour;
    spec.title = title;
    const Bytes image = imagegen::MakeImage(spec);
    std::copy(image.begin(), image.end(), cart.begin());
    // Generated games end in erased flash, where save data lives; data there shows which
    // bytes an operation took or left alone.
    const Bytes tail = Pattern(image.size() / 8, 0x5A);
    std::copy(tail.begin(), tail.end(), cart.begin() + std::ptrdiff_t(image.size() - tail.size()));
    return cart;
}

Bytes Pattern(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    std::uint32_t x = 0x9E3779B9u * (seed + 1u);
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

Bytes Slice(const Bytes& bytes, std::uint32_t first, std::uint32_t count) {
    return Bytes(bytes.begin() + first, bytes.begin() + first + count);
}

long FirstChangeOutside(const Bytes& a, const Bytes& b, std::uint32_t first, std::uint32_t last) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if ((i < first || i > last) && a[i] != b[i]) return long(i);
    }
    return a.size() == b.size() ? -1 : long(n);
}

Bytes ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = f.readAll();
    return Bytes(data.begin(), data.end());
}

void QueueClick(QWidget* widget) {
    const QPointF at = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(at);
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                        Qt::LeftButton, Qt::LeftButton, {}));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                        Qt::LeftButton, Qt::NoButton, {}));
}

std::uint8_t RigPort::Read(std::uint16_t port) {
    if (*on_read_) (*on_read_)();
    const bool array_read = port == kEppData && reg_ == 3;
    const std::uint64_t before = device_->stats().read.count;
    const std::uint64_t flash_before = device_->stats().flash_reads;
    const std::uint32_t addr = device_->LatchedAddress();
    const std::uint8_t value = device_->Read(port);
    // Array reads in read mode; a one-chip cartridge answers its second enable from the same
    // cells without counting them there.
    const bool mirror = (enables_ & 2) == 0 && device_->CartBytes() <= k16Mbit;
    if (array_read && (device_->stats().read.count != before ||
                       (mirror && device_->stats().flash_reads != flash_before))) {
        note_(addr + ((enables_ & 1) == 0 ? 0 : k16Mbit));
    }
    if (recording_) log.push_back(testsupport::R(port, value));
    return value;
}

void RigPort::Write(std::uint16_t port, std::uint8_t value) {
    if (port == kEppAddress) reg_ = value & 3;
    if (port == kEppData && reg_ == 2) reg2_ = value;
    if (port == kEppData && reg_ == 3 && reg2_ == kChipSelectAccess) enables_ = value;
    if (recording_) log.push_back(testsupport::W(port, value));
    device_->Write(port, value);
}

WindowRig::WindowRig(const Bytes& cart, const std::string& options) {
    cart_path_ = WriteFile(QStringLiteral("cart.bin"), cart);
    std::string error;
    device_ = linksim::OpenDevice(cart_path_.toStdString(), options, &error);
    if (!device_) throw std::runtime_error(error);
    auto port = std::make_unique<RigPort>(device_.get(), cart_path_.toStdString(), &on_port_read,
                                          [this](std::uint32_t a) {
                                              ++bytes_read_;
                                              if (a < read_.size()) read_[a] = true;
                                          });
    port_ = port.get();
    previous_ = portio::InstallBackend(std::move(port));
    read_.assign(k32Mbit, false);

    ResetProcessState();
    form_ = std::make_unique<TForm1>();
    CreateDialogs();
    form_->show();
}

WindowRig::~WindowRig() {
    DestroyDialogs();
    form_.reset();
    portio::InstallBackend(std::move(previous_));
    ResetProcessState();
}

void WindowRig::Tick(int ticks) {
    for (int i = 0; i < ticks; ++i) form_->Timer1Timer();
}

void WindowRig::FirstTick() {
    Tick();
    Mark();
}

QStringList WindowRig::Log() const {
    return form_->Memo1->toPlainText().split(QLatin1Char('\n'));
}

void WindowRig::Mark() {
    mark_ = form_->Memo1->document()->blockCount();
    device_->ResetStats();
    read_.assign(k32Mbit, false);
    bytes_read_ = 0;
}

QStringList WindowRig::LogSince() const {
    static const QRegularExpression seconds(QStringLiteral("^Process time = \\d+ Sec$"));
    QStringList lines = Log().mid(mark_);
    for (QString& line : lines) {
        if (seconds.match(line).hasMatch()) line = QStringLiteral("Process time = # Sec");
    }
    return lines;
}

QString WindowRig::ReadRanges() const {
    QStringList ranges;
    for (std::uint32_t a = 0; a < read_.size();) {
        if (!read_[a]) {
            ++a;
            continue;
        }
        std::uint32_t b = a;
        while (b + 1 < read_.size() && read_[b + 1]) ++b;
        ranges << QStringLiteral("%1-%2")
                      .arg(a, 6, 16, QLatin1Char('0'))
                      .arg(b, 6, 16, QLatin1Char('0'));
        a = b + 1;
    }
    return ranges.join(QLatin1Char(' '));
}

void WindowRig::Report(const char* flow) const {
    if (qEnvironmentVariableIsEmpty("OPS_REPORT")) return;
    const linksim::Stats& s = device_->stats();
    std::printf(
        "%s:\n  read %llu bytes: %s\n  programmed %llu bytes in %06x-%06x, %llu failures\n"
        "  erased: %llu sector, %llu chip erases in %06x-%06x\n",
        flow, static_cast<unsigned long long>(bytes_read_), qPrintable(ReadRanges()),
        static_cast<unsigned long long>(s.program_commands), s.programmed.low, s.programmed.high,
        static_cast<unsigned long long>(s.program_failures),
        static_cast<unsigned long long>(s.sector_erases),
        static_cast<unsigned long long>(s.chip_erases), s.erased.low, s.erased.high);
}

Bytes WindowRig::Cart() const {
    return ReadFile(cart_path_);
}

QString WindowRig::WriteFile(const QString& name, const Bytes& bytes) const {
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(bytes.data()),
                                                 qint64(bytes.size())) != qint64(bytes.size())) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
    return path;
}

bool WindowRig::ClickAndChoose(QToolButton* button, const QString& path,
                               const std::function<void()>& chosen) {
    DialogScript script;
    script.Then(path.isEmpty() ? PressEscape() : PickFile(path, nullptr, chosen));
    button->click();
    return script.Done();
}

}  // namespace windowtest
