// The operations' check that the linker still answers. A linker pulled out or switched off reads
// 0xFF, which is also what erased flash holds, so no operation may report success without it.
#pragma once

// Whether the last check found the linker answering; true at program start.
extern bool LinkAnswered;

// Checks the link now. false, with "Flash Linker not answering!!!" logged, when it has stopped
// answering.
bool LinkStillAnswers();
