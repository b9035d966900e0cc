// The cartridge file on Windows, mapped shared (a file mapping) so that every program or erase
// lands in the file at once and survives however the program ends. The run holds a lock on a
// byte far past the file's end, as a real linker is held by one program at a time: such a lock
// keeps no reader or writer off the contents. A mapped file cannot be shortened, so the mapping
// never loses its pages.
#include <windows.h>

#include <string>
#include <vector>

#include "linksim/device.h"

namespace linksim {
namespace {

// Where the run's lock lies: past any cartridge, so that it covers none of the contents.
constexpr DWORD kLockOffsetHigh = 0x80000000;

class MappedFile final : public CartStore {
  public:
    MappedFile(HANDLE file, std::uint8_t* data, std::uint32_t size)
        : file_(file), data_(data), size_(size) {}
    ~MappedFile() override {
        FlushViewOfFile(data_, 0);
        UnmapViewOfFile(data_);
        CloseHandle(file_);  // and with it the lock
    }
    std::uint8_t* Data() override { return data_; }
    std::uint32_t Size() const override { return size_; }

  private:
    HANDLE file_;
    std::uint8_t* data_;
    std::uint32_t size_;
};

// False when another program holds the lock.
bool LockRun(HANDLE file) {
    OVERLAPPED where{};
    where.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) {
        return true;
    }
    // A file system without locks leaves the run unguarded.
    const DWORD error = GetLastError();
    return error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING;
}

// The system's text for the last error, without the trailing period and line break.
std::string LastErrorText() {
    DWORD code = GetLastError();
    char* text = nullptr;
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result =
        n != 0 && text != nullptr ? std::string(text, n) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result;
}

std::string Fail(const std::string& path, const char* what) {
    return "LINKSIM: cannot " + std::string(what) + " '" + path + "': " + LastErrorText();
}

// Creates `path` as a blank (all 0xFF) 4 MiB cartridge; an existing file is never touched.
HANDLE CreateBlank(const std::string& path, std::string* error) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = Fail(path, "create");
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::uint8_t> blank(kMaxCartBytes, 0xFF);
    DWORD written = 0;
    if (!WriteFile(file, blank.data(), static_cast<DWORD>(blank.size()), &written, nullptr) ||
        written != blank.size()) {
        if (written != blank.size()) SetLastError(ERROR_DISK_FULL);
        *error = Fail(path, "write the blank cartridge");
        CloseHandle(file);
        DeleteFileA(path.c_str());
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

std::unique_ptr<CartStore> OpenCartFile(const std::string& path, std::string* error) {
    if (path.empty()) {
        *error = "LINKSIM: no cartridge file given";
        return nullptr;
    }
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && (GetLastError() == ERROR_FILE_NOT_FOUND)) {
        file = CreateBlank(path, error);
        if (file == INVALID_HANDLE_VALUE) return nullptr;
    } else if (file == INVALID_HANDLE_VALUE) {
        *error = Fail(path, "open");
        return nullptr;
    }
    if (!LockRun(file)) {
        *error = "LINKSIM: '" + path +
                 "' is in use by another program (a simulated linker serves one program at a "
                 "time)";
        CloseHandle(file);
        return nullptr;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        *error = Fail(path, "read the size of");
        CloseHandle(file);
        return nullptr;
    }
    if (GetFileType(file) != FILE_TYPE_DISK ||
        !IsCartSize(static_cast<std::uint64_t>(size.QuadPart))) {
        *error = "LINKSIM: '" + path + "' is " + std::to_string(size.QuadPart) +
                 " bytes; a cartridge file must be 1048576 (8 Mbit), 2097152 (16 Mbit) or "
                 "4194304 (32 Mbit) bytes";
        CloseHandle(file);
        return nullptr;
    }
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (mapping == nullptr) {
        *error = Fail(path, "map");
        CloseHandle(file);
        return nullptr;
    }
    auto bytes = static_cast<std::uint32_t>(size.QuadPart);
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, bytes);
    if (view == nullptr) *error = Fail(path, "map");
    CloseHandle(mapping);  // the view keeps the mapping alive
    if (view == nullptr) {
        CloseHandle(file);
        return nullptr;
    }
    return std::make_unique<MappedFile>(file, static_cast<std::uint8_t*>(view), bytes);
}

}  // namespace linksim
