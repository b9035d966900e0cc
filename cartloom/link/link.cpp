#include "cartloom/link/link.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "cartloom/link/bus.h"

namespace {

constexpr std::uint16_t kSppOnlyBase = 0x3BC;  // no EPP registers behind this base
constexpr std::uint8_t kCtlReleased = 0x04;    // nInit high, every strobe released
constexpr std::uint8_t kStatusClearTimeout = 0x01;
constexpr std::uint8_t kStatusEppTimeout = 0x01;
constexpr std::uint8_t kTestHigh = 0x12;
constexpr std::uint8_t kTestLow = 0x34;

std::function<void(LinkLabel, const std::string&)> caption_observer;
portio::AccessResult port_access;
std::string problem_returned;
// The three legacy bases until OpenPortBackend adds the ports the system lists.
std::vector<std::uint16_t> search_bases(std::begin(kLinkBases), std::end(kLinkBases));

std::vector<std::uint16_t> SearchBases(const std::vector<std::uint16_t>& listed) {
    std::vector<std::uint16_t> bases(std::begin(kLinkBases), std::end(kLinkBases));
    for (std::uint16_t base : listed) {
        if (std::find(bases.begin(), bases.end(), base) == bases.end()) bases.push_back(base);
    }
    return bases;
}

void SetCaption(LinkLabel label, const std::string& caption) {
    if (caption_observer) caption_observer(label, caption);
}

void BindBase(std::uint16_t base) {
    LinkState.DataPort = base;
    LinkState.StatusPort = static_cast<std::uint16_t>(base + 1);
    LinkState.ControlPort = static_cast<std::uint16_t>(base + 2);
    LinkState.EppAddressPort = static_cast<std::uint16_t>(base + 3);
    LinkState.EppDataPort = static_cast<std::uint16_t>(base + 4);
}

}  // namespace

portio::AccessResult OpenPortBackend() {
    port_access = portio::OpenPortAccess(SearchBases(portio::ListParallelPorts()));
    // Asked again: with the simulator in place the system is the simulated one.
    search_bases = SearchBases(portio::ListParallelPorts());
    return port_access;
}

void ClosePortBackend() {
    portio::ClosePortAccess();
}

const portio::AccessResult& PortAccess() {
    return port_access;
}

void SetPortAccess(const portio::AccessResult& result) {
    port_access = result;
}

std::string NewPortAccessProblem() {
    if (port_access.reason == problem_returned) return "";
    problem_returned = port_access.reason;
    return problem_returned;
}

void SetLinkCaptionObserver(std::function<void(LinkLabel, const std::string&)> observer) {
    caption_observer = std::move(observer);
}

void ResetLinkState() {
    LinkState = LinkStateRecord{};
    caption_observer = nullptr;
    problem_returned.clear();
}

std::uint8_t TestLink() {
    PortWrite(LinkState.StatusPort, kStatusClearTimeout);
    // Register 2 is written unconditionally so that RegisterRecord agrees with the linker again.
    SetWriteDirection();
    WriteLinkerRegister(2, 0x00);
    SetWriteDirection();
    WriteLinkerRegister(1, kTestHigh);
    WriteLinkerRegister(0, kTestLow);
    SelectLinkerRegister(1);
    SetReadDirection();
    if (ReadLinkerByte() != kTestHigh) return 1;
    SetWriteDirection();
    SelectLinkerRegister(0);
    SetReadDirection();
    if (ReadLinkerByte() != kTestLow) return 1;
    ReleaseLink();
    return 0;
}

std::uint8_t CheckLink() {
    // Only an EPP port has the time-out flag; on a standard port the bit means nothing.
    const bool timed_out =
        !LinkState.SppMode && (PortRead(LinkState.StatusPort) & kStatusEppTimeout) != 0;
    if (TestLink() != 0) return 1;
    return timed_out ? 1 : 0;
}

std::uint8_t DetectPortMode() {
    LinkState.SppMode = true;
    if (TestLink() != 0) return 1;
    if (LinkState.DataPort == kSppOnlyBase) return 0;
    LinkState.SppMode = false;
    if (TestLink() == 0) return 0;
    // EPP gave wrong answers after SPP worked: the port has no usable EPP hardware.
    LinkState.SppMode = true;
    return 0;
}

bool OpenLink(std::uint16_t base) {
    BindBase(base);
    if (DetectPortMode() != 0) {
        SetCaption(LinkLabel::padr, "");
        SetCaption(LinkLabel::ptype, "");
        SetCaption(LinkLabel::fsize, "");
        return false;
    }
    LinkState.PortFound = true;
    char text[8];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(base));
    SetCaption(LinkLabel::padr, text);
    SetCaption(LinkLabel::ptype, LinkState.SppMode ? "SPP" : "EPP");
    return true;
}

bool FindLink() {
    // Once a base answered, only that base is tried again while the window lives.
    if (LinkState.PortFound) return OpenLink(LinkState.DataPort);
    for (std::uint16_t base : search_bases) {
        if (OpenLink(base)) return true;
    }
    return false;
}

void ReleaseLink() {
    SetWriteDirection();
    WriteLinkerRegister(2, 0x00);
    PortWrite(LinkState.ControlPort, kCtlReleased);
}
