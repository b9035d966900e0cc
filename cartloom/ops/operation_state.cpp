#include "cartloom/ops/operation_state.h"

#include <chrono>
#include <optional>

#include "cartloom/link/link.h"
#include "cartloom/ops/link_check.h"
#include "cartloom/ops/window.h"

bool Busy = false;
bool StopRequested = false;
bool CloseRequested = false;
std::int16_t ElapsedSeconds = 0;
bool BlinkPhase = true;
std::FILE* ImageFile = nullptr;
std::int32_t ImageSize = 0;
std::uint32_t ProgressTotal = 0;
std::string OpenDialog1FileName;
std::string SaveDialog1FileName;

namespace {

using Clock = std::chrono::steady_clock;

// A Stop click or a timer tick waits at most this long inside a programmed block.
constexpr auto kPumpDue = std::chrono::milliseconds(2);

std::optional<Clock::time_point> last_pump;

}  // namespace

void ResetOperationState() {
    Busy = false;
    StopRequested = false;
    CloseRequested = false;
    ElapsedSeconds = 0;
    BlinkPhase = true;
    CloseImageFile();
    ImageSize = 0;
    ProgressTotal = 0;
    LinkAnswered = true;
    OpenDialog1FileName.clear();
    SaveDialog1FileName.clear();
    last_pump.reset();
}

void PumpMessages() {
    ProcessWindowMessages();
    last_pump = Clock::now();
}

void PumpMessagesWhenDue() {
    if (last_pump && Clock::now() - *last_pump < kPumpDue) return;
    PumpMessages();
}

void BeginOperation() {
    Busy = true;
    // A window that is closing stops the passes that follow too, such as a write's verify.
    StopRequested = CloseRequested;
    ShowOperationRunning(true);
    ElapsedSeconds = 0;
    SetCaption(StatusCaption::Seconds, "0 Sec");
    PumpMessages();
}

void EndOperation() {
    Busy = false;
    StopRequested = true;
    ShowOperationRunning(false);
    SetCaption(StatusCaption::Operation, "");
    LogLine("");
    PumpMessages();
}

void ReportStop() {
    SetProgress(0);
    SetCaption(StatusCaption::Seconds, "");
    SetCaption(StatusCaption::Operation, "");
    LogLine("Stop process !!!");
    ReleaseLink();
}

void CloseImageFile() {
    if (ImageFile == nullptr) return;
    std::fclose(ImageFile);
    ImageFile = nullptr;
}
