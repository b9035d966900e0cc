// Drives the real window as a user would, for the screenshot script and for measurements:
// waits for the cartridge to show, clicks Write, picks the image in the file dialog, waits for
// the write and verify to finish, then saves a picture of the window and/or prints timings.
//
//   LINKSIM=cart.bin cartloom_drive --image game.ngp [--screenshot out.png] [--measure]
//                                   [--pump-every-byte]
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "cartloom/app/application.h"
#include "cartloom/app/dialogs.h"
#include "cartloom/app/form1.h"
#include "cartloom/link/flash.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/operation_state.h"

namespace {

struct Settings {
    QString image;
    QString screenshot;
    bool measure = false;
    bool pump_every_byte = false;
};

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeout_ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Cost of one PumpMessages with nothing waiting.
double IdlePumpMicroseconds() {
    constexpr int kCalls = 20000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kCalls; ++i) PumpMessages();
    return double(t.nsecsElapsed()) / 1000.0 / kCalls;
}

}  // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    Settings s;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--image") == 0 && i + 1 < argc) {
            s.image = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            s.screenshot = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--measure") == 0) {
            s.measure = true;
        } else if (std::strcmp(argv[i], "--pump-every-byte") == 0) {
            s.pump_every_byte = true;
        } else {
            std::fprintf(stderr, "usage: %s --image FILE [--screenshot PNG] [--measure]\n",
                         argv[0]);
            return 2;
        }
    }
    if (s.image.isEmpty()) {
        std::fprintf(stderr, "--image is required\n");
        return 2;
    }
    const portio::AccessResult access = OpenPortBackend();
    if (access.outcome == portio::AccessOutcome::Unusable) {
        std::fprintf(stderr, "%s\n", access.reason.c_str());
        return 1;
    }

    TForm1 form;
    CreateDialogs();
    form.show();
    if (!WaitFor([&] { return form.LED_GRN->isVisible() && !form.fsize->text().isEmpty(); },
                 5000)) {
        std::fprintf(stderr, "no cartridge showed up\n");
        return 1;
    }
    if (s.pump_every_byte) SetProgramPump(PumpMessages);
    const double pump_us = s.measure ? IdlePumpMicroseconds() : 0.0;

    // Every pass of the event loop fires this; the longest gap between two passes is the
    // longest stretch the window could not react.
    // Longest gap by the caption shown when it began ("" between and around operations).
    std::map<QString, qint64> longest_gap_ns;
    QString gap_began_during;
    QElapsedTimer since_pass;
    QTimer pass_probe;
    pass_probe.setInterval(0);
    QObject::connect(&pass_probe, &QTimer::timeout, [&] {
        if (since_pass.isValid()) {
            qint64& longest = longest_gap_ns[gap_began_during];
            longest = std::max(longest, since_pass.nsecsElapsed());
        }
        gap_began_during = form.Label2->text();
        since_pass.start();
    });

    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        dialog->selectFile(s.image);
        QMetaObject::invokeMethod(dialog, "accept");
        if (s.measure) pass_probe.start();
    });
    QElapsedTimer wall;
    wall.start();
    form.Write->click();
    const qint64 wall_ms = wall.elapsed();
    pass_probe.stop();

    if (s.measure) {
        std::printf("write+verify wall time: %.2f s\n", double(wall_ms) / 1000.0);
        std::printf("longest stretch without processing events, by the caption shown:\n");
        for (const auto& [caption, ns] : longest_gap_ns) {
            std::printf("  %-22s %8.2f ms\n",
                        qPrintable(QLatin1Char('"') + caption + QLatin1Char('"')),
                        double(ns) / 1e6);
        }
        std::printf("PumpMessages with nothing waiting: %.2f us\n", pump_us);
    }
    if (!s.screenshot.isEmpty()) {
        // As a user sees it a moment later: the next idle tick has cleared the seconds.
        WaitFor([&] { return form.Label3->text().isEmpty(); }, 2000);
        if (!form.grab().save(s.screenshot)) {
            std::fprintf(stderr, "cannot save %s\n", qPrintable(s.screenshot));
            return 1;
        }
    }
    DestroyDialogs();
    ClosePortBackend();
    return 0;
}
