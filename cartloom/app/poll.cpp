// The poll tick, Stop and Exit.
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>

#include "cartloom/app/form1.h"
#include "cartloom/link/detect.h"
#include "cartloom/link/link.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/window.h"

namespace {

constexpr int kBusyIntervalMs = 1000;
constexpr int kIdleIntervalMs = 500;
constexpr std::uint8_t kNoCart = 0x00;
constexpr std::uint8_t kCart16M = 0x10;

// Changing a running timer's interval restarts it, so only a real change is made.
void SetTimerInterval(int ms) {
    if (Form1->Timer1->interval() != ms) Form1->Timer1->setInterval(ms);
}

void SetCartButtons(bool enabled) {
    for (QToolButton* b : {Form1->Write, Form1->Verify, Form1->Info, Form1->Backup, Form1->Erase,
                           Form1->SaveData, Form1->RestoreData}) {
        b->setEnabled(enabled);
    }
}

void BusyTick() {
    SetTimerInterval(kBusyIntervalMs);
    ++ElapsedSeconds;
    Form1->Label3->setText(QStringLiteral("%1 Sec").arg(ElapsedSeconds));
    PumpMessages();
}

void IdleTick() {
    SetTimerInterval(kIdleIntervalMs);
    ElapsedSeconds = 0;
    Form1->Label3->clear();
    bool linked = FindLink();
    std::uint8_t cart = kNoCart;
    if (linked) {
        // A linker that goes silent during the detection reads as a cartridge whose second chip
        // does not answer, or as none: what it found counts only if the linker still answers.
        const std::uint32_t size_before = CartSize;
        cart = DetectCart();
        linked = CheckLink() == 0;
        if (!linked) {
            CartSize = size_before;
            Form1->padr->clear();
            Form1->ptype->clear();
            Form1->fsize->clear();
        }
    }
    if (linked) {
        Form1->LED_RED->hide();
        Form1->LED_REDX->hide();
        if (cart != kNoCart) {
            SetCartButtons(true);
            Form1->Exit->setEnabled(true);
            Form1->Stop->setEnabled(false);
            Form1->Label2->clear();
            Form1->LED_GRN->show();
            Form1->LED_GRNX->hide();
            Form1->fsize->setText(cart == kCart16M ? QStringLiteral("16M") : QStringLiteral("32M"));
        } else {
            Form1->fsize->clear();
            Form1->LED_GRN->setVisible(BlinkPhase);
            Form1->LED_GRNX->setVisible(!BlinkPhase);
            BlinkPhase = !BlinkPhase;
        }
    } else {
        // Why there is no port to find a linker on, once and again when it changes.
        const std::string problem = NewPortAccessProblem();
        if (!problem.empty()) LogLine("Port access: " + problem);
        SetCartButtons(false);
        Form1->Exit->setEnabled(true);
        Form1->Stop->setEnabled(false);
        Form1->LED_GRN->hide();
        Form1->LED_GRNX->hide();
        Form1->LED_RED->setVisible(BlinkPhase);
        Form1->LED_REDX->setVisible(!BlinkPhase);
        BlinkPhase = !BlinkPhase;
    }
    PumpMessages();
}

}  // namespace

void StartPolling() {
    Form1->Timer1->start();
    PumpMessages();
}

void StopPolling() {
    Form1->Timer1->stop();
    PumpMessages();
}

void TForm1::Timer1Timer() {
    if (Busy) {
        BusyTick();
    } else {
        IdleTick();
    }
}

void TForm1::StopClick() {
    StopRequested = true;
}

void TForm1::ExitClick() {
    EndOperation();
    StopPolling();
    // At once, without closing the window. The port backend is destroyed with the other
    // process-wide objects on the way out, so the simulator still writes its counters.
    std::exit(0);
}
