// The state every cartridge operation shares, and the helpers that begin, end and stop one.
// Everything runs on the window's one thread; long operations keep the window alive by
// PumpMessages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

extern bool Busy;                    // an operation runs; the tick counts seconds, not the port
extern bool StopRequested;           // the running loop stops at its next check
extern bool CloseRequested;          // the window is to close: every operation stops at once
extern std::int16_t ElapsedSeconds;  // seconds of the running operation
extern bool BlinkPhase;              // lit or dark LED picture while blinking
extern std::FILE* ImageFile;         // the one file an operation has open, or null
extern std::int32_t ImageSize;       // bytes of the loaded file still to transfer
extern std::uint32_t ProgressTotal;  // what the progress bar's range is derived from
// The names the two file dialogs hold (UTF-8): the current image file, and the dump file.
extern std::string OpenDialog1FileName;
extern std::string SaveDialog1FileName;

// Every piece of the above as at program start; an open ImageFile is closed.
void ResetOperationState();

// Processes every window message that is waiting and returns when none is left.
void PumpMessages();
// The pump block programming calls before nearly every byte. Processing messages costs far more
// than programming a byte, so it pumps only when the last pump is long enough ago for a tick, a
// repaint or a Stop click to be due; they are still handled within a few milliseconds.
void PumpMessagesWhenDue();

void BeginOperation();
void EndOperation();
void ReportStop();

// Closes ImageFile if it is open.
void CloseImageFile();
