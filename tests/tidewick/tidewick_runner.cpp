#include "tests/tidewick/tidewick_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/image_gen.h"

extern char** environ;

namespace tidewick_e2e {
namespace {

// End of a progress line starting at `pos` ("\r<words>... 0x<6 hex> (<n>%)"), or npos.
std::size_t ProgressEnd(const std::string& s, std::size_t pos) {
    if (pos >= s.size() || s[pos] != '\r') return std::string::npos;
    std::size_t dots = s.find("... 0x", pos);
    std::size_t line_end = s.find_first_of("\r\n", pos + 1);
    if (dots == std::string::npos || (line_end != std::string::npos && dots > line_end)) {
        return std::string::npos;
    }
    std::size_t close = s.find("%)", dots);
    if (close == std::string::npos || (line_end != std::string::npos && close > line_end)) {
        return std::string::npos;
    }
    return close + 2;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::string s(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(s.data(), static_cast<std::streamsize>(s.size()));
    return s;
}

}  // namespace

std::string Collapse(const std::string& out) {
    std::string result;
    std::size_t pos = 0;
    while (pos < out.size()) {
        std::size_t end = ProgressEnd(out, pos);
        if (end == std::string::npos) {
            result += out[pos++];
            continue;
        }
        if (ProgressEnd(out, end) == std::string::npos) result.append(out, pos, end - pos);
        pos = end;
    }
    return result;
}

Bytes SampleImage(std::size_t bytes, bool licensed, std::uint32_t seed) {
    imagegen::ImageSpec spec;
    spec.size_mbit = bytes <= 0x80000 ? 4 : bytes <= 0x100000 ? 8 : bytes <= 0x200000 ? 16 : 32;
    spec.licensed_marker = licensed;
    spec.seed = seed;
    Bytes image = imagegen::MakeImage(spec);
    image.resize(bytes);
    return image;
}

void TidewickRun::SetUp() {
    std::string pattern = ::testing::TempDir() + "tidewick_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
}

void TidewickRun::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void TidewickRun::WriteFile(const std::string& name, const Bytes& bytes) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
}

Bytes TidewickRun::ReadFile(const std::string& name) const {
    std::string s = Slurp(Path(name));
    return Bytes(s.begin(), s.end());
}

bool TidewickRun::Exists(const std::string& name) const {
    return std::filesystem::exists(Path(name));
}

void TidewickRun::Remove(const std::string& name) const {
    std::remove(Path(name).c_str());
}

void TidewickRun::MakeCart(std::uint32_t size, const Bytes& contents) const {
    Bytes cart(size, 0xFF);
    std::copy(contents.begin(), contents.begin() + std::min<std::size_t>(size, contents.size()),
              cart.begin());
    WriteFile("cart.bin", cart);
}

pid_t TidewickRun::Start(const std::vector<std::string>& args, const Env& env, int in_fd,
                         int out_fd, int err_fd) {
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (entry.starts_with("LINKSIM=") || entry.starts_with("LINKSIM_OPTS=") ||
            entry.starts_with("TWKPORT=")) {
            continue;
        }
        env_strings.push_back(entry);
    }
    if (env.linksim) {
        env_strings.push_back("LINKSIM=cart.bin");
        std::string opts = env.linksim_opts;
        if (!opts.empty()) opts += ",";
        env_strings.push_back("LINKSIM_OPTS=" + opts + "stats=" + Path(".stats"));
    }
    if (env.twkport) env_strings.push_back("TWKPORT=" + *env.twkport);

    std::vector<std::string> argv_strings = {TIDEWICK_BINARY};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_strings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env_strings) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int fds[] = {in_fd, out_fd, err_fd};
    for (int target = 0; target < 3; ++target) {
        if (fds[target] < 0) {
            posix_spawn_file_actions_addclose(&actions, target);
        } else {
            posix_spawn_file_actions_adddup2(&actions, fds[target], target);
        }
    }
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    pid_t pid = 0;
    int rc = posix_spawn(&pid, TIDEWICK_BINARY, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << "spawn " << TIDEWICK_BINARY;
    return rc == 0 ? pid : -1;
}

int TidewickRun::Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Result TidewickRun::Run(const std::vector<std::string>& args, const std::string& input,
                        const Env& env) {
    Result result;
    const std::string in_path = Path(".stdin");
    const std::string out_path = Path(".stdout");
    const std::string err_path = Path(".stderr");
    {
        std::ofstream in(in_path, std::ios::binary | std::ios::trunc);
        in << input;
    }
    std::remove(Path(".stats").c_str());

    int in_fd = open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
    int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_t pid = Start(args, env, in_fd, out_fd, err_fd);
    close(in_fd);
    close(out_fd);
    close(err_fd);
    if (pid < 0) return result;
    result.exit_code = Wait(pid);
    result.out = Slurp(out_path);
    result.err = Slurp(err_path);

    std::istringstream stats(Slurp(Path(".stats")));
    for (std::string line; std::getline(stats, line);) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        result.stats[line.substr(0, eq)] = std::strtoull(line.c_str() + eq + 1, nullptr, 10);
    }
    // Everything the tool says goes to standard output.
    EXPECT_EQ(result.err, "");
    return result;
}

}  // namespace tidewick_e2e
