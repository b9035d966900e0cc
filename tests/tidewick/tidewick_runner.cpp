#include "tests/tidewick/tidewick_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/image_gen.h"

extern char** environ;

namespace tidewick_e2e {
namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";
constexpr auto kPatience = std::chrono::seconds(30);  // only a guard against a hung test

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

    std::vector<std::string> argv_strings;
    const bool drop_power = env.honour_permissions && geteuid() == 0;
    if (drop_power) {
        argv_strings = {kSetpriv, "--bounding-set=-dac_override,-dac_read_search",
                        "--inh-caps=-all", "--"};
    }
    argv_strings.push_back(TIDEWICK_BINARY);
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
    const char* program = drop_power ? kSetpriv : TIDEWICK_BINARY;
    int rc = posix_spawn(&pid, program, &actions, nullptr, argv.data(), envp.data());
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
    result.stats = ReadStats();
    // Everything the tool says goes to standard output.
    EXPECT_EQ(result.err, "");
    return result;
}

std::map<std::string, std::uint64_t> TidewickRun::ReadStats() const {
    std::map<std::string, std::uint64_t> counters;
    std::istringstream stats(Slurp(Path(".stats")));
    for (std::string line; std::getline(stats, line);) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        counters[line.substr(0, eq)] = std::strtoull(line.c_str() + eq + 1, nullptr, 10);
    }
    return counters;
}

std::vector<std::string> TidewickRun::Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        std::string name = entry.path().filename().string();
        if (name.starts_with(".") && name != ".stdin" && name != ".stdout" && name != ".stderr" &&
            name != ".stats") {
            names.push_back(name);
        }
    }
    return names;
}

bool TidewickRun::CanHonourPermissions() {
    if (geteuid() != 0) return true;
    // setpriv needs to be there and the right to narrow the capability bounding set.
    static const bool can =
        std::system((std::string(kSetpriv) + " --bounding-set=-dac_override,-dac_read_search "
                                             "--inh-caps=-all -- /bin/true >/dev/null 2>&1")
                        .c_str()) == 0;
    return can;
}

Session TidewickRun::StartSession(const std::vector<std::string>& args, const Env& env) {
    Session session;
    std::remove(Path(".stats").c_str());
    int in_pipe[2];
    int out_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0) return session;
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        close(in_pipe[0]);
        close(in_pipe[1]);
        return session;
    }
    int err_fd = open(Path(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    session.pid = Start(args, env, in_pipe[0], out_pipe[1], err_fd);
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_fd);
    session.input = in_pipe[1];
    session.output = out_pipe[0];
    return session;
}

bool TidewickRun::ReadUntil(Session* session, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (session->out.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd fd = {session->output, POLLIN, 0};
        if (poll(&fd, 1, 1000) <= 0) continue;
        char buf[4096];
        ssize_t n = read(session->output, buf, sizeof buf);
        if (n <= 0) return false;
        session->out.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

void TidewickRun::Type(Session* session, const std::string& keys) {
    ASSERT_EQ(write(session->input, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

Result TidewickRun::Finish(Session* session) {
    Result result;
    if (session->input >= 0) close(session->input);
    session->input = -1;
    if (session->output >= 0) {
        char buf[4096];
        for (ssize_t n; (n = read(session->output, buf, sizeof buf)) > 0;) {
            session->out.append(buf, static_cast<std::size_t>(n));
        }
        close(session->output);
        session->output = -1;
    }
    if (session->pid > 0) result.exit_code = Wait(session->pid);
    session->pid = -1;
    result.out = session->out;
    result.err = Slurp(Path(".stderr"));
    result.stats = ReadStats();
    EXPECT_EQ(result.err, "");
    return result;
}

}  // namespace tidewick_e2e
