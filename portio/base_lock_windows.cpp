// One program at a time on a port: a named mutex per base, "Global\flash-linker-378" for 0x378,
// that exists while a program holds it and goes with the process however it ends.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "portio/backends.h"

namespace portio {
namespace {

class HeldMutexes final : public BaseLocks {
  public:
    ~HeldMutexes() override {
        for (HANDLE h : handles_) CloseHandle(h);
    }
    void Hold(HANDLE h) { handles_.push_back(h); }

  private:
    std::vector<HANDLE> handles_;
};

}  // namespace

std::string BaseLockPath(const std::string& dir, std::uint16_t base) {
    char name[32];
    std::snprintf(name, sizeof name, "\\flash-linker-%x", static_cast<unsigned>(base));
    return dir + name;
}

std::unique_ptr<BaseLocks> LockBasesIn(const std::string& dir, std::span<const std::uint16_t> bases,
                                       Refusal* refusal) {
    auto held = std::make_unique<HeldMutexes>();
    for (std::uint16_t base : bases) {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, BaseLockPath(dir, base).c_str());
        const DWORD error = GetLastError();
        if (mutex != nullptr && error != ERROR_ALREADY_EXISTS) {
            held->Hold(mutex);
            continue;
        }
        if (mutex != nullptr) CloseHandle(mutex);
        // Another user's program created it (and keeps it from this one), or this user's did.
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "the flash linker at 0x%X is in use by another program", base);
            refusal->why = text;
            refusal->in_use = true;
            return nullptr;
        }
    }
    return held;
}

std::unique_ptr<BaseLocks> LockBases(std::span<const std::uint16_t> bases, Refusal* refusal) {
    return LockBasesIn("Global", bases, refusal);
}

}  // namespace portio
