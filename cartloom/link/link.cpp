#include "cartloom/link/link.h"

#include <cstdio>
#include <utility>

#include "cartloom/link/bus.h"

namespace {

constexpr std::uint16_t kSppOnlyBase = 0x3BC;  // no EPP registers behind this base
constexpr std::uint8_t kCtlReleased = 0x04;    // nInit high, every strobe released
constexpr std::uint8_t kStatusClearTimeout = 0x01;
constexpr std::uint8_t kStatusEppTimeout = 0x01;
constexpr std::uint8_t kTestHigh = 0x12;
constexpr std::uint8_t kTestLow = 0x34;

std::function<void(LinkLabel, const std::string&)> caption_observer;

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
    return portio::OpenPortAccess(kLinkBases);
}

void ClosePortBackend() {
    portio::ClosePortAccess();
}

void SetLinkCaptionObserver(std::function<void(LinkLabel, const std::string&)> observer) {
    caption_observer = std::move(observer);
}

void ResetLinkState() {
    LinkState = LinkStateRecord{};
    caption_observer = nullptr;
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
    for (std::uint16_t base : kLinkBases) {
        if (OpenLink(base)) return true;
    }
    return false;
}

void ReleaseLink() {
    SetWriteDirection();
    WriteLinkerRegister(2, 0x00);
    PortWrite(LinkState.ControlPort, kCtlReleased);
}
