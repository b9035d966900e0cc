// The simulated flash linker with its cartridge, as it answers single-byte accesses to the port
// registers at base + 0 to base + 4.
//
// The linker has four registers, reached by EPP address/data cycles at base + 3 / base + 4, or
// by the same cycles played on the control lines of a standard port with the answer read back
// in two nibbles through the status lines.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linksim/flash_chip.h"
#include "linksim/options.h"
#include "linksim/stats.h"

namespace linksim {

inline constexpr std::uint32_t kMaxCartBytes = 0x400000;

// Where the cartridge's flash contents live: a file, or memory for tests.
class CartStore {
  public:
    virtual ~CartStore() = default;
    virtual std::uint8_t* Data() = 0;
    virtual std::uint32_t Size() const = 0;
    // True once the contents can no longer be trusted (a file another program shrank under
    // them); the linker then stops answering.
    virtual bool Lost() const { return false; }
};

// Cartridge contents in memory (1, 2 or 4 MiB), all 0xFF unless given.
std::unique_ptr<CartStore> MakeMemoryStore(std::uint32_t size);
std::unique_ptr<CartStore> MakeMemoryStore(std::vector<std::uint8_t> contents);

// The cartridge file: byte n of the file is cartridge byte n, and every change lands in it at
// once. A missing file is created as a blank 4 MiB cartridge. The store holds an exclusive lock
// on the file while it exists. Returns nullptr with a message for a file that cannot be opened,
// is in use by another program, or has a length other than 1, 2 or 4 MiB (it is left unchanged).
std::unique_ptr<CartStore> OpenCartFile(const std::string& path, std::string* error);

bool IsCartSize(std::uint64_t size);

class Device {
  public:
    // `store` may be null when the options say there is no cartridge.
    Device(const Options& options, std::unique_ptr<CartStore> store);
    ~Device();  // writes the counters when the options name a stats file
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    std::uint8_t Read(std::uint16_t port);
    void Write(std::uint16_t port, std::uint8_t value);

    const Stats& stats() const { return stats_; }
    // The port base the linker hangs on.
    std::uint16_t Base() const { return options_.base; }
    void ResetStats() { stats_ = Stats{}; }
    // The cartridge's bytes (empty without a cartridge).
    const std::uint8_t* Cart() const { return store_ ? store_->Data() : nullptr; }
    std::uint32_t CartBytes() const { return store_ ? store_->Size() : 0; }
    // The address the linker would read or write next (A0 to A20).
    std::uint32_t LatchedAddress() const { return address_; }

  private:
    bool Answering() const;
    std::uint8_t EppRead(bool address);  // an EPP address or data read cycle
    void AddressCycle(std::uint8_t value);
    void DataWriteCycle(std::uint8_t value);
    std::uint8_t DataReadCycle();
    void ControlWrite(std::uint8_t value);
    std::uint8_t StatusLines() const;
    std::uint8_t FlashRead();
    void FlashWrite(std::uint8_t value);

    Options options_;
    std::unique_ptr<CartStore> store_;
    Stats stats_;
    std::vector<FlashChip> chips_;  // present chips: chip 1, and chip 2 on a 4 MiB cartridge
    std::uint64_t accesses_ = 0;

    // Port side.
    std::uint8_t data_latch_ = 0;
    std::uint8_t control_ = 0x04;
    bool epp_timeout_ = false;

    // Linker side.
    std::uint8_t selected_ = 0;
    std::uint8_t reg2_ = 0;
    std::uint8_t enables_ = 0xFF;  // bit 0 low: chip 1, bit 1 low: chip 2
    std::uint32_t address_ = 0;
    std::uint8_t nibble_source_ = 0xFF;  // the byte the last SPP read strobe fetched
};

// A device as LINKSIM / LINKSIM_OPTS describe it. Returns nullptr with a message on a bad option
// or cartridge file; nothing is created or changed then.
std::unique_ptr<Device> OpenDevice(const std::string& cart_file, const std::string& options,
                                   std::string* error);

}  // namespace linksim
