#include "cartloom/ops/block_loop.h"

#include <string>

#include "cartloom/ops/link_check.h"
#include "cartloom/ops/operation_state.h"
#include "cartloom/ops/window.h"

bool RunBlockLoop(std::uint32_t blocks, std::uint32_t units_per_block, std::uint32_t total_units,
                  const std::function<bool(std::uint32_t i)>& work) {
    SetProgress(0);
    SetProgressMaximum(static_cast<std::uint16_t>(total_units));
    for (std::uint32_t i = 0; i < blocks; ++i) {
        SetProgress(static_cast<std::uint16_t>(i * units_per_block));
        PumpMessages();
        if (StopRequested) {
            ReportStop();
            return false;
        }
        if (!LinkStillAnswers()) return false;
        if (!work(i)) {
            // A block that fails because the linker went away says so too.
            LinkStillAnswers();
            return false;
        }
    }
    if (!LinkStillAnswers()) return false;
    SetProgress(static_cast<std::uint16_t>(total_units));
    LogLine("Process time = " + std::to_string(ElapsedSeconds) + " Sec");
    PumpMessages();
    return true;
}
