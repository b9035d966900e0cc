#include "cartloom/ops/replace_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "portio/portio.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLinkHops = 40;  // as the system's own limit on symbolic links in a path
constexpr int kNameAttempts = 100;

// Where `path` leads through symbolic links, also one that points to nothing yet.
fs::path FollowLinks(fs::path path) {
    std::error_code ec;
    for (int hop = 0; hop < kLinkHops && fs::is_symlink(fs::symlink_status(path, ec)); ++hop) {
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return path;
}

std::string TemporaryBeside(const fs::path& target) {
    static std::mt19937 random{std::random_device{}()};
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    std::string name = ".";
    name += target.filename().string();
    name += suffix;
    return (target.parent_path() / name).string();
}

}  // namespace

std::FILE* OpenReplacement(const std::string& name, FileReplacement* replacement) {
    if (portio::IsSimulatorCartridge(name)) return nullptr;
    const fs::path target = FollowLinks(fs::path(name));
    replacement->target = target.string();
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status)) {
        if (fs::is_character_file(status) || fs::is_block_file(status)) {
            replacement->writing = replacement->target;
            return std::fopen(replacement->writing.c_str(), "wb");
        }
        if (!fs::is_regular_file(status)) return nullptr;
        // A rename would replace a file its user made read-only; it stays.
        if (access(replacement->target.c_str(), W_OK) != 0) return nullptr;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        replacement->writing = TemporaryBeside(target);
        // "x": never one that exists, not even one that appeared since the name was chosen.
        if (std::FILE* f = std::fopen(replacement->writing.c_str(), "wbx")) return f;
        if (errno != EEXIST) break;
    }
    replacement->writing.clear();
    return nullptr;
}

bool CommitReplacement(const FileReplacement& replacement) {
    if (replacement.writing == replacement.target) return true;
    std::error_code ec;
    const fs::file_status old = fs::status(replacement.target, ec);
    if (!ec && fs::exists(old)) fs::permissions(replacement.writing, old.permissions(), ec);
    fs::rename(replacement.writing, replacement.target, ec);
    if (!ec) return true;
    DiscardReplacement(replacement);
    return false;
}

void DiscardReplacement(const FileReplacement& replacement) {
    if (replacement.writing.empty() || replacement.writing == replacement.target) return;
    std::error_code ec;
    fs::remove(replacement.writing, ec);
}
