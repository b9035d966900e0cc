#include <utility>

#include "linksim/device.h"

namespace linksim {
namespace {

class MemoryStore final : public CartStore {
  public:
    explicit MemoryStore(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint8_t* Data() override { return bytes_.data(); }
    std::uint32_t Size() const override { return static_cast<std::uint32_t>(bytes_.size()); }

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

bool IsCartSize(std::uint64_t size) {
    return size == 0x100000 || size == 0x200000 || size == kMaxCartBytes;
}

std::unique_ptr<CartStore> MakeMemoryStore(std::uint32_t size) {
    return MakeMemoryStore(std::vector<std::uint8_t>(size, 0xFF));
}

std::unique_ptr<CartStore> MakeMemoryStore(std::vector<std::uint8_t> contents) {
    if (!IsCartSize(contents.size())) return nullptr;
    return std::make_unique<MemoryStore>(std::move(contents));
}

}  // namespace linksim
