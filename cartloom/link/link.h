// Finding, testing and releasing the flash linker on one of the standard port bases.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "portio/portio.h"

// The port bases the windowed program probes, in order.
inline constexpr std::uint16_t kLinkBases[] = {0x378, 0x278, 0x3BC};

// Chooses the port backend (simulator, the kernel's device, direct I/O or absent port) for the
// three bases. The program calls it once at start, before the window exists and before the
// first FindLink.
portio::AccessResult OpenPortBackend();
// Ends port access at exit (the simulator writes its file and counters).
void ClosePortBackend();

// The main window's labels whose captions the link decides.
enum class LinkLabel { padr, ptype, fsize };
// The window installs this to receive captions ("378", "EPP", "" ...). Without one, captions
// are dropped.
void SetLinkCaptionObserver(std::function<void(LinkLabel label, const std::string& caption)>);

// LinkState and the caption observer as at program start: unbound, EPP, nothing recorded.
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
