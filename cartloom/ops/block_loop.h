// The loop every long operation runs over 32 KB blocks: the progress bar before each block, the
// window's messages, the Stop check, then the block's own work; "Process time" at the end.
#pragma once

#include <cstdint>
#include <functional>

// Runs `work`(i) for i = 0 to `blocks` - 1. The bar's maximum is `total_units`, and before
// block i it shows i * `units_per_block`. A Stop request found before a block is reported
// (ReportStop) and ends the loop; so does a block whose work returns false (it has logged why),
// and a linker that has stopped answering, checked before every block and after the last.
// true when every block was done: the bar is then full and the process time logged.
bool RunBlockLoop(std::uint32_t blocks, std::uint32_t units_per_block, std::uint32_t total_units,
                  const std::function<bool(std::uint32_t i)>& work);
