#include "linksim/device.h"

#include <cstdio>
#include <utility>

namespace linksim {
namespace {

// The control register drives nStrobe (bit 0), nAutoFd (bit 1) and nSelectIn (bit 3) inverted,
// nInit (bit 2) as written: XOR with this gives the pin levels.
constexpr std::uint8_t kControlInverted = 0x0B;
constexpr std::uint8_t kPinWrite = 0x01;        // nWrite: low for a write cycle
constexpr std::uint8_t kPinDataStrobe = 0x02;   // nDataStrobe: low while asserted
constexpr std::uint8_t kPinInit = 0x04;         // nInit: high selects the high nibble
constexpr std::uint8_t kPinAddrStrobe = 0x08;   // nAddrStrobe: low while asserted
constexpr std::uint8_t kStatusNibbleShift = 3;  // nibble on status bits 3 to 6
constexpr std::uint8_t kStatusFloating = 0x78;  // nibble lines with nothing driving them
constexpr std::uint8_t kStatusEppTimeout = 0x01;

constexpr std::uint8_t kChipSelectAccess = 0x02;  // register 2 value that opens the enables
constexpr std::uint8_t kAutoIncrement = 0x01;
// Register 2 reads back transformed; 0x88 (the console tool's test address) gives 0x7E.
constexpr std::uint8_t kReg2ReadXor = 0xF6;
constexpr std::uint32_t kLinkerAddressMask = 0x1FFFFF;

}  // namespace

Device::Device(const Options& options, std::unique_ptr<CartStore> store)
    : options_(options), store_(options.nocart ? nullptr : std::move(store)) {
    if (!store_) return;
    ChipTiming timing{options_.program_reads, options_.erase_reads, options_.erase_hang,
                      options_.erase_timeout};
    std::uint8_t* data = store_->Data();
    std::uint32_t size = store_->Size();
    if (size == kMaxCartBytes) {
        chips_.emplace_back(data, kChipBytes, 0, timing, options_.stuck, &stats_);
        chips_.emplace_back(data + kChipBytes, kChipBytes, kChipBytes, timing, options_.stuck,
                            &stats_);
    } else {
        chips_.emplace_back(data, size, 0, timing, options_.stuck, &stats_);
    }
}

Device::~Device() {
    if (options_.stats_file.empty()) return;
    if (std::FILE* f = std::fopen(options_.stats_file.c_str(), "w")) {
        std::string text = FormatStats(stats_);
        bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "linksim: could not write stats file %s\n",
                         options_.stats_file.c_str());
        }
    } else {
        std::fprintf(stderr, "linksim: could not create stats file %s\n",
                     options_.stats_file.c_str());
    }
}

bool Device::Answering() const {
    if (options_.nolinker) return false;
    if (store_ && store_->Lost()) return false;
    return !options_.unplug_after || accesses_ <= *options_.unplug_after;
}

std::uint8_t Device::Read(std::uint16_t port) {
    ++stats_.port_reads;
    ++accesses_;
    if (port < options_.base || port > options_.base + 4) return 0xFF;  // no port there
    switch (port - options_.base) {
        case 0:
            return data_latch_;
        case 1:
            return StatusLines();
        case 2:
            return control_;
        case 3:
        case 4:
            return EppRead(port - options_.base == 3);
    }
    return 0xFF;
}

std::uint8_t Device::EppRead(bool address) {
    if (options_.spp) return 0xFF;
    if (!Answering()) {
        epp_timeout_ = true;
        return 0xFF;
    }
    if (address) return selected_;
    const std::uint8_t value = DataReadCycle();
    // The read itself may have found the cartridge's file gone.
    if (!Answering()) {
        epp_timeout_ = true;
        return 0xFF;
    }
    return value;
}

void Device::Write(std::uint16_t port, std::uint8_t value) {
    ++stats_.port_writes;
    ++accesses_;
    if (port < options_.base || port > options_.base + 4) return;
    switch (port - options_.base) {
        case 0:
            data_latch_ = value;
            return;
        case 1:
            if (value & kStatusEppTimeout) epp_timeout_ = false;
            return;
        case 2:
            ControlWrite(value);
            return;
        case 3:
        case 4:
            if (options_.spp) return;
            if (!Answering()) {
                epp_timeout_ = true;
                return;
            }
            if (port - options_.base == 3) {
                AddressCycle(value);
            } else {
                DataWriteCycle(value);
            }
            return;
    }
}

std::uint8_t Device::StatusLines() const {
    std::uint8_t timeout = epp_timeout_ ? kStatusEppTimeout : 0;
    if (!Answering()) return kStatusFloating | timeout;
    std::uint8_t pins = static_cast<std::uint8_t>(control_ ^ kControlInverted);
    int shift = (pins & kPinInit) ? 4 : 0;
    std::uint8_t nibble = static_cast<std::uint8_t>((nibble_source_ >> shift) & 0x0F);
    return static_cast<std::uint8_t>((nibble << kStatusNibbleShift) | timeout);
}

// A standard port plays the EPP cycles on its control lines: the linker acts when a strobe
// becomes asserted, and nWrite at that moment tells a write from a read. A read strobe fetches
// one byte, whatever number of nibble reads follows.
void Device::ControlWrite(std::uint8_t value) {
    std::uint8_t before = static_cast<std::uint8_t>(control_ ^ kControlInverted);
    std::uint8_t pins = static_cast<std::uint8_t>(value ^ kControlInverted);
    control_ = value;
    if (!Answering()) return;
    bool write = (pins & kPinWrite) == 0;
    bool addr_strobe = (pins & kPinAddrStrobe) == 0 && (before & kPinAddrStrobe) != 0;
    bool data_strobe = (pins & kPinDataStrobe) == 0 && (before & kPinDataStrobe) != 0;
    if (addr_strobe) {
        if (write) {
            AddressCycle(data_latch_);
        } else {
            nibble_source_ = selected_;
        }
    }
    if (data_strobe) {
        if (write) {
            DataWriteCycle(data_latch_);
        } else {
            nibble_source_ = DataReadCycle();
        }
    }
}

void Device::AddressCycle(std::uint8_t value) {
    ++stats_.address_cycles;
    selected_ = value & 0x03;
}

void Device::DataWriteCycle(std::uint8_t value) {
    ++stats_.data_writes;
    switch (selected_) {
        case 0:
            address_ = (address_ & ~0xFFu) | value;
            return;
        case 1:
            address_ = (address_ & ~0xFF00u) | (std::uint32_t{value} << 8);
            return;
        case 2:
            reg2_ = value;
            address_ = (address_ & 0xFFFFu) | (std::uint32_t{(value >> 2) & 0x0Fu} << 16) |
                       (std::uint32_t{(value >> 7) & 1u} << 20);
            return;
        default:
            if (reg2_ == kChipSelectAccess) {
                enables_ = value;
            } else {
                FlashWrite(value);
            }
            return;
    }
}

std::uint8_t Device::DataReadCycle() {
    ++stats_.data_reads;
    switch (selected_) {
        case 0:
            return static_cast<std::uint8_t>(address_ & 0xFF);
        case 1:
            return static_cast<std::uint8_t>((address_ >> 8) & 0xFF);
        case 2:
            return static_cast<std::uint8_t>(reg2_ ^ kReg2ReadXor);
        default: {
            std::uint8_t v = FlashRead();
            if (reg2_ & kAutoIncrement) address_ = (address_ + 1) & kLinkerAddressMask;
            return v;
        }
    }
}

std::uint8_t Device::FlashRead() {
    if (!store_) return 0x00;
    ++stats_.flash_reads;
    bool chip1 = (enables_ & 0x01) == 0;
    bool chip2 = (enables_ & 0x02) == 0;
    std::uint8_t v = 0xFF;  // nothing enabled: the bus floats high
    if (chip1) v &= chips_[0].Read(address_);
    if (chip2) {
        // A one-chip cartridge ignores the second enable for reads: its contents repeat there.
        v &= chips_.size() > 1 ? chips_[1].Read(address_) : chips_[0].Cell(address_);
    }
    return v;
}

void Device::FlashWrite(std::uint8_t value) {
    if (!store_) return;
    ++stats_.flash_writes;
    if ((enables_ & 0x01) == 0) chips_[0].Write(address_, value);
    if ((enables_ & 0x02) == 0 && chips_.size() > 1) chips_[1].Write(address_, value);
}

std::unique_ptr<Device> OpenDevice(const std::string& cart_file, const std::string& options,
                                   std::string* error) {
    Options opts;
    if (!ParseOptions(options, &opts, error)) return nullptr;
    std::unique_ptr<CartStore> store;
    if (!opts.nocart && !opts.nolinker) {
        store = OpenCartFile(cart_file, error);
        if (!store) return nullptr;
    }
    return std::make_unique<Device>(opts, std::move(store));
}

}  // namespace linksim
