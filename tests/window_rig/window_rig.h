// The window tests' rig: the real main window and its dialogs over a simulated linker whose
// cartridge is a file in a temporary folder, with the log, the files and the cartridge to look at
// afterwards, and what the operations read from it.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "linksim/device.h"
#include "portio/portio.h"
#include "tests/support/recording_port.h"

class QToolButton;
class QWidget;
class TForm1;

namespace windowtest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kBlock = 0x8000;
inline constexpr std::uint32_t k16Mbit = 0x200000;
inline constexpr std::uint32_t k32Mbit = 0x400000;

Bytes Blank(std::uint32_t bytes);
// A game image of `bytes` (whole 32 KB blocks) with a marker header, colour, and `title`.
Bytes GameImage(std::uint32_t bytes, const std::string& title = "SAMPLE GAME");
// A blank cartridge of `cart_bytes` with `image` from address 0.
Bytes CartWith(const Bytes& image, std::uint32_t cart_bytes);
// A cartridge of `cart_bytes` holding a generated game of `game_mbit` (0: no game, all blank),
// with data up to its last byte and erased flash after it.
Bytes MakeCart(std::uint32_t cart_bytes, unsigned game_mbit, bool colour = true,
               const std::string& title = "SAMPLE GAME");
// `count` bytes of a pattern that differs from any generated game.
Bytes Pattern(std::size_t count, std::uint8_t seed);
// Bytes [first, first + count) of `bytes`.
Bytes Slice(const Bytes& bytes, std::uint32_t first, std::uint32_t count);
// The first address where a and b differ outside [first, last], or -1.
long FirstChangeOutside(const Bytes& a, const Bytes& b, std::uint32_t first, std::uint32_t last);
Bytes ReadFile(const QString& path);
// Queues a click in the middle of `widget`, as the window system delivers one that the window
// has not handled yet.
void QueueClick(QWidget* widget);

// Passes every access to the simulated device: records it while asked to, runs the rig's read
// hook first, and follows the EPP cycles (register selection, register 2, the chip enables) to
// note the cartridge address of every array byte the device reads.
class RigPort final : public portio::PortBackend {
  public:
    using ReadNote = std::function<void(std::uint32_t addr)>;
    RigPort(linksim::Device* device, std::string cart_file, std::function<void()>* on_read,
            ReadNote note)
        : device_(device),
          cart_file_(std::move(cart_file)),
          on_read_(on_read),
          note_(std::move(note)) {}
    std::uint8_t Read(std::uint16_t port) override;
    void Write(std::uint16_t port, std::uint8_t value) override;
    bool KeepsContentsIn(const std::string& path) const override {
        return portio::SameFile(cart_file_, path);
    }

    void set_recording(bool on) { recording_ = on; }
    std::vector<testsupport::Access> log;

  private:
    linksim::Device* device_;
    std::string cart_file_;
    std::function<void()>* on_read_;
    ReadNote note_;
    bool recording_ = false;
    std::uint8_t reg_ = 0;
    std::uint8_t reg2_ = 0;
    std::uint8_t enables_ = 0xFF;
};

class WindowRig {
  public:
    // `cart` is the cartridge file's contents (1, 2 or 4 MiB); `options` are LINKSIM_OPTS words.
    // Every piece of process-wide state starts as at program start; no tick has run yet.
    explicit WindowRig(const Bytes& cart = Blank(k32Mbit), const std::string& options = "");
    ~WindowRig();
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    TForm1& form() { return *form_; }
    linksim::Device& device() { return *device_; }
    RigPort& port() { return *port_; }
    const linksim::Stats& stats() const { return device_->stats(); }

    // Runs idle ticks of the poll.
    void Tick(int ticks = 1);
    // The first idle tick finds the linker and the cartridge's size, as it does a second after
    // start-up; the log, the counters and the bytes read then start afresh.
    void FirstTick();

    // The whole log, one entry per line.
    QStringList Log() const;
    // Forgets the log and the counters so far; LogSince then gives only what follows.
    void Mark();
    // The log since Mark (or since start-up's empty line), with the seconds of every process
    // time line replaced by #.
    QStringList LogSince() const;

    // Cartridge array bytes read since Mark (rereads counted again), and where they lie, as
    // "first-last" hexadecimal ranges.
    std::uint64_t BytesRead() const { return bytes_read_; }
    QString ReadRanges() const;
    // With OPS_REPORT set, prints what the flow since Mark read, programmed and erased.
    void Report(const char* flow) const;

    // The cartridge as the file holds it now.
    Bytes Cart() const;
    QString Path(const QString& name) const { return dir_.filePath(name); }
    // Writes a file in the rig's folder and returns its path.
    QString WriteFile(const QString& name, const Bytes& bytes) const;

    // Clicks `button` and answers the file dialog it opens with `path` (cancels it when the
    // path is empty). `chosen` runs right after the dialog accepted the file. Returns false when
    // no file dialog came up.
    bool ClickAndChoose(QToolButton* button, const QString& path,
                        const std::function<void()>& chosen = {});

    // Called before each port read is passed on, while set.
    std::function<void()> on_port_read;

  private:
    QTemporaryDir dir_;
    QString cart_path_;
    std::unique_ptr<linksim::Device> device_;
    RigPort* port_ = nullptr;
    std::unique_ptr<portio::PortBackend> previous_;
    std::unique_ptr<TForm1> form_;
    int mark_ = 1;
    std::vector<bool> read_;
    std::uint64_t bytes_read_ = 0;
};

}  // namespace windowtest
