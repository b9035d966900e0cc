// A bench for driving the real window's operations: a simulated linker with a cartridge file,
// the main window and its dialogs, scripted answers to the modal dialogs, and the log.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "linksim/device.h"
#include "portio/portio.h"

class QTimer;
class QWidget;
class TForm1;

namespace opstest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kBlock = 0x8000;
inline constexpr std::uint32_t k16Mbit = 0x200000;
inline constexpr std::uint32_t k32Mbit = 0x400000;

// A cartridge of `cart_bytes` holding a generated game of `game_mbit` (0: no game, all blank),
// with data up to its last byte and erased flash after it.
Bytes MakeCart(std::uint32_t cart_bytes, unsigned game_mbit, bool colour = true,
               const std::string& title = "SAMPLE GAME");
// `count` bytes of a pattern that differs from any generated game.
Bytes Pattern(std::size_t count, std::uint8_t seed);

// Runs actions on the modal dialogs the code under test opens, in order: each action is given
// the dialog and must close it. A dialog that no action was queued for is cancelled and noted.
class DialogScript {
  public:
    DialogScript();
    ~DialogScript();
    void Then(std::function<void(QWidget* dialog)> action);
    // Every action ran and every dialog closed as it should.
    bool Done() const { return actions_.empty() && unexpected.isEmpty(); }
    // Why Done is false.
    QString Why() const;
    QStringList unexpected;  // titles of dialogs that appeared with nothing queued

  private:
    void Poll();
    std::deque<std::function<void(QWidget*)>> actions_;
    struct Acting {
        QPointer<QWidget> dialog;
        QElapsedTimer since;
    };
    std::vector<Acting> acting_;
    QTimer* timer_;
};

// Actions for DialogScript.
std::function<void(QWidget*)> PressEnter();
std::function<void(QWidget*)> PressEscape();
// Checks `item` of the dialog's radio group, then presses Enter.
std::function<void(QWidget*)> ChooseItem(int item);
// Notes the radio group's checked item in *seen, then presses Enter.
std::function<void(QWidget*)> NoteItemAndEnter(int* seen);
// Picks `path` in a file dialog; with `proposed` set, first notes the name it proposed.
std::function<void(QWidget*)> PickFile(const QString& path, QString* proposed = nullptr);
// Answers Yes in a question box (the file dialog's overwrite prompt).
std::function<void(QWidget*)> AnswerYes();

class Bench {
  public:
    // `options` are LINKSIM_OPTS words for the simulated linker.
    explicit Bench(const Bytes& cart, const std::string& options = "");
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    TForm1& form() { return *form_; }
    linksim::Device& device() { return *device_; }
    // The cartridge as the file holds it now.
    Bytes Cart() const;
    QString Path(const QString& name) const { return dir_.filePath(name); }
    // Writes a file in the bench's folder and returns its path.
    QString WriteFile(const QString& name, const Bytes& bytes) const;

    // Forgets the log and the counters so far; LogSince then gives only what follows.
    void Mark();
    // Log lines since Mark, with the seconds of every process time line replaced by #.
    QStringList LogSince() const;
    const linksim::Stats& stats() const { return device_->stats(); }
    // Cartridge array bytes read since Mark (rereads counted again), and where they lie, as
    // "first-last" hexadecimal ranges.
    std::uint64_t BytesRead() const { return bytes_read_; }
    QString ReadRanges() const;
    // With OPS_REPORT set, prints what the flow since Mark read, programmed and erased.
    void Report(const char* flow) const;
    void NoteRead(std::uint32_t addr);

    // Called before each port read is passed on, while set.
    std::function<void()> on_port_read;

  private:
    QTemporaryDir dir_;
    QString cart_path_;
    std::unique_ptr<linksim::Device> device_;
    std::unique_ptr<portio::PortBackend> previous_;
    std::unique_ptr<TForm1> form_;
    int mark_ = 0;
    std::vector<bool> read_;
    std::uint64_t bytes_read_ = 0;
};

Bytes ReadFile(const QString& path);
// Bytes [first, first + count) of `bytes`.
Bytes Slice(const Bytes& bytes, std::uint32_t first, std::uint32_t count);
// The first address below `limit` where a and b differ outside [first, last], or -1.
long FirstChangeOutside(const Bytes& a, const Bytes& b, std::uint32_t first, std::uint32_t last);

}  // namespace opstest

#define QVERIFY_SCRIPT(script) QVERIFY2((script).Done(), qPrintable((script).Why()))
