// Finding, testing and releasing the flash linker on one of the parallel ports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "portio/portio.h"

// The port bases the windowed program probes first, in order.
inline constexpr std::uint16_t kLinkBases[] = {0x378, 0x278, 0x3BC};

// Chooses the port backend (simulator, direct I/O, the kernel's device or absent port) for the
// bases FindLink searches: the three above, then every other parallel port the system lists
// (with the simulated linker, its own port). The program calls it once at start, before the
// window exists and before the first FindLink.
portio::AccessResult OpenPortBackend();
// Ends port access at exit (the simulator writes its file and counters).
void ClosePortBackend();

// What OpenPortBackend came to (an absent port without a reason before it).
const portio::AccessResult& PortAccess();
// Records `result` as what opening port access came to, as OpenPortBackend does: for tests that
// put their own backend behind the port.
void SetPortAccess(const portio::AccessResult& result);
// Why no port stands behind the link, when that differs from what this returned last (since
// ResetLinkState); "" otherwise. The window logs what it returns, so a reason is shown once and
// again only when it changes.
std::string NewPortAccessProblem();

// The main window's labels whose captions the link decides.
enum class LinkLabel { padr, ptype, fsize };
// The window installs this to receive captions ("378", "EPP", "" ...). Without one, captions
// are dropped.
void SetLinkCaptionObserver(std::function<void(LinkLabel label, const std::string& caption)>);

// LinkState, the caption observer and the problem last returned as at program start: unbound,
// EPP, nothing recorded.
void ResetLinkState();

std::uint8_t TestLink();  // 0 = the linker answered, 1 = it did not
// Whether the linker still answers in the middle of an operation: no EPP cycle timed out since
// the last link test (EPP mode), and the link test passes again. 0 = it does, 1 = it does not.
// A silent linker reads 0xFF like erased flash, so an operation may claim success only after
// this. Passing leaves the linker released, as every passing link test does.
std::uint8_t CheckLink();
std::uint8_t DetectPortMode();  // 0 = a linker answered (SppMode set), 1 = none
bool OpenLink(std::uint16_t base);
bool FindLink();
void ReleaseLink();
