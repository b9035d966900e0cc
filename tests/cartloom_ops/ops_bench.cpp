#include "ops_bench.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "cartloom/app/dialogs.h"
#include "cartloom/app/form1.h"
#include "tools/image_gen.h"

namespace opstest {

namespace {

// Passes every access on to the simulated device, after the bench's read hook. It follows the
// EPP cycles (register selection, register 2, the chip enables) to note the cartridge address of
// every array byte the device reads.
class HookedPort final : public portio::PortBackend {
  public:
    HookedPort(linksim::Device* device, Bench* bench) : device_(device), bench_(bench) {}
    std::uint8_t Read(std::uint16_t port) override {
        if (bench_->on_port_read) bench_->on_port_read();
        const bool array_read = port == kEppData && reg_ == 3;
        const std::uint64_t before = device_->stats().read.count;
        const std::uint64_t flash_before = device_->stats().flash_reads;
        const std::uint32_t addr = device_->LatchedAddress();
        const std::uint8_t value = device_->Read(port);
        // Array reads in read mode; a one-chip cartridge answers its second enable from the
        // same cells without counting them there.
        const bool mirror = (enables_ & 2) == 0 && device_->CartBytes() <= k16Mbit;
        if (array_read && (device_->stats().read.count != before ||
                           (mirror && device_->stats().flash_reads != flash_before))) {
            bench_->NoteRead(addr + ((enables_ & 1) == 0 ? 0 : k16Mbit));
        }
        return value;
    }
    void Write(std::uint16_t port, std::uint8_t value) override {
        if (port == kEppAddress) reg_ = value & 3;
        if (port == kEppData && reg_ == 2) reg2_ = value;
        if (port == kEppData && reg_ == 3 && reg2_ == kChipSelectAccess) enables_ = value;
        device_->Write(port, value);
    }

  private:
    static constexpr std::uint16_t kEppAddress = 0x37B;
    static constexpr std::uint16_t kEppData = 0x37C;
    static constexpr std::uint8_t kChipSelectAccess = 0x02;
    linksim::Device* device_;
    Bench* bench_;
    std::uint8_t reg_ = 0;
    std::uint8_t reg2_ = 0;
    std::uint8_t enables_ = 0xFF;
};

TRadioGroup* RadioGroupOf(QWidget* dialog) {
    auto* group = dialog->findChild<TRadioGroup*>();
    if (group == nullptr) throw std::logic_error("the dialog has no radio group");
    return group;
}

}  // namespace

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

DialogScript::DialogScript() : timer_(new QTimer) {
    QObject::connect(timer_, &QTimer::timeout, [this] { Poll(); });
    timer_->start(5);
}

DialogScript::~DialogScript() {
    delete timer_;
}

void DialogScript::Then(std::function<void(QWidget*)> action) {
    actions_.push_back(std::move(action));
}

QString DialogScript::Why() const {
    return QStringLiteral("%1 actions left; unexpected: %2")
        .arg(actions_.size())
        .arg(unexpected.join(QStringLiteral(", ")));
}

void DialogScript::Poll() {
    // A dialog acted on is closing until it is seen hidden; meanwhile it may be the active one
    // again, for instance after the overwrite prompt it opened has been answered.
    std::erase_if(acting_,
                  [](const Acting& a) { return a.dialog.isNull() || !a.dialog->isVisible(); });
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || !dialog->isVisible()) return;
    for (const Acting& a : acting_) {
        if (a.dialog != dialog) continue;
        // One that stays open means the action did not take, and the test would hang.
        if (a.since.elapsed() < 3000) return;
        unexpected << "still open: " + dialog->windowTitle();
        dialog->close();
        return;
    }
    acting_.push_back({dialog, {}});
    acting_.back().since.start();
    if (actions_.empty()) {
        unexpected << dialog->windowTitle();
        QTest::keyClick(dialog, Qt::Key_Escape);
        return;
    }
    auto action = std::move(actions_.front());
    actions_.pop_front();
    action(dialog);
}

std::function<void(QWidget*)> PressEnter() {
    return [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); };
}

std::function<void(QWidget*)> PressEscape() {
    return [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); };
}

std::function<void(QWidget*)> ChooseItem(int item) {
    return [item](QWidget* dialog) {
        RadioGroupOf(dialog)->SetItemIndex(item);
        QTest::keyClick(dialog, Qt::Key_Return);
    };
}

std::function<void(QWidget*)> NoteItemAndEnter(int* seen) {
    return [seen](QWidget* dialog) {
        *seen = RadioGroupOf(dialog)->ItemIndex();
        QTest::keyClick(dialog, Qt::Key_Return);
    };
}

std::function<void(QWidget*)> PickFile(const QString& path, QString* proposed) {
    return [path, proposed](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (files == nullptr || name == nullptr) throw std::logic_error("expected a file dialog");
        if (proposed != nullptr) *proposed = name->text();
        // Typed as a whole path, as a user may: it does not depend on the folder the dialog
        // shows, which may be one of an earlier test that is gone.
        name->setText(path);
        // Queued, so that an overwrite prompt opened by accept is answered by the next action.
        QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
    };
}

std::function<void(QWidget*)> AnswerYes() {
    return [](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (box == nullptr) throw std::logic_error("expected a message box");
        QMetaObject::invokeMethod(box->button(QMessageBox::Yes), &QAbstractButton::click,
                                  Qt::QueuedConnection);
    };
}

Bench::Bench(const Bytes& cart, const std::string& options) {
    cart_path_ = WriteFile(QStringLiteral("cart.bin"), cart);
    std::string error;
    device_ = linksim::OpenDevice(cart_path_.toStdString(), options, &error);
    if (!device_) throw std::runtime_error(error);
    previous_ = portio::InstallBackend(std::make_unique<HookedPort>(device_.get(), this));
    form_ = std::make_unique<TForm1>();
    CreateDialogs();
    form_->show();
    // The first poll tick finds the linker and the cartridge's size, as it does a second after
    // start-up.
    form_->Timer1Timer();
    Mark();
}

Bench::~Bench() {
    DestroyDialogs();
    form_.reset();
    portio::InstallBackend(std::move(previous_));
}

Bytes Bench::Cart() const {
    return ReadFile(cart_path_);
}

QString Bench::WriteFile(const QString& name, const Bytes& bytes) const {
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(bytes.data()),
                                                 qint64(bytes.size())) != qint64(bytes.size())) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
    return path;
}

void Bench::Mark() {
    mark_ = form_->Memo1->document()->blockCount();
    device_->ResetStats();
    read_.assign(k32Mbit, false);
    bytes_read_ = 0;
}

void Bench::NoteRead(std::uint32_t addr) {
    ++bytes_read_;
    if (addr < read_.size()) read_[addr] = true;
}

QString Bench::ReadRanges() const {
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

void Bench::Report(const char* flow) const {
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

QStringList Bench::LogSince() const {
    static const QRegularExpression seconds(QStringLiteral("^Process time = \\d+ Sec$"));
    QStringList lines = form_->Memo1->toPlainText().split(QLatin1Char('\n')).mid(mark_);
    for (QString& line : lines) {
        if (seconds.match(line).hasMatch()) line = QStringLiteral("Process time = # Sec");
    }
    return lines;
}

Bytes ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = f.readAll();
    return Bytes(data.begin(), data.end());
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

}  // namespace opstest
