// A main window over a simulated linker whose cartridge is a file in a temporary folder, with
// helpers to answer the file dialog, read the log and look at the cartridge afterwards.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cartloom/app/form1.h"
#include "linksim/device.h"
#include "tests/support/recording_port.h"

class QToolButton;

class WindowRig {
  public:
    // `cart` is the cartridge file's contents (1, 2 or 4 MiB); `opts` are LINKSIM_OPTS words.
    // Every piece of process-wide state starts as at program start.
    explicit WindowRig(const QByteArray& cart = Blank(0x400000), const std::string& opts = "");
    ~WindowRig();
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    static QByteArray Blank(int bytes) { return QByteArray(bytes, char(0xFF)); }

    TForm1& form() { return *form_; }
    linksim::Device& device() { return *device_; }
    testsupport::RecordingPort& port() { return *port_; }

    // The log, one entry per line.
    QStringList Log() const;
    // The log from line `from` on.
    QStringList LogFrom(qsizetype from) const { return Log().mid(from); }
    QByteArray Cart() const;
    // Writes a file into the temporary folder and returns its path.
    QString AddFile(const QString& name, const QByteArray& contents);

    // Runs idle ticks until a cartridge is seen (or `ticks` have run).
    void Tick(int ticks = 1);

    // Clicks `button` and answers the file dialog it opens with `path` (cancels it when the
    // path is empty). `chosen` runs right after the dialog accepted the file. Returns false when
    // no file dialog came up.
    bool ClickAndChoose(QToolButton* button, const QString& path,
                        const std::function<void()>& chosen = {});

  private:
    QTemporaryDir dir_;
    QString cart_path_;
    std::unique_ptr<linksim::Device> device_;
    testsupport::RecordingPort* port_ = nullptr;
    std::unique_ptr<portio::PortBackend> previous_;
    std::unique_ptr<TForm1> form_;
};

// A game image of `bytes` (whole 32 KB blocks): a marker header with `title`, then a body of
// varied bytes with runs of 0xFF.
QByteArray MakeImage(int bytes, const char* title = "SAMPLE GAME");
