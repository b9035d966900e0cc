#include "linksim/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace linksim {
namespace {

constexpr int kGuards = 8;

struct Guard {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> lost{false};
};

Guard g_guards[kGuards];
struct sigaction g_previous;
bool g_installed = false;

// Hands a SIGBUS that is not ours to what was there before; with the default action, the fault
// comes again on return and ends the process as it would have.
void PassOn(int sig, siginfo_t* info, void* context) {
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(sig, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
    } else {
        signal(sig, SIG_DFL);
    }
}

void OnBusError(int sig, siginfo_t* info, void* context) {
    const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Guard& g : g_guards) {
        if (addr < g.begin.load() || addr >= g.end.load()) continue;
        const auto page_size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        void* page = reinterpret_cast<void*>(addr & ~(page_size - 1));
        // The access is made again on return, now to memory.
        if (mmap(page, page_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                 -1, 0) == MAP_FAILED) {
            break;
        }
        g.lost.store(true);
        return;
    }
    PassOn(sig, info, context);
}

}  // namespace

int GuardMapping(void* data, std::size_t size) {
    if (!g_installed) {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        if (sigaction(SIGBUS, &action, &g_previous) != 0) return -1;
        g_installed = true;
    }
    for (int i = 0; i < kGuards; ++i) {
        Guard& g = g_guards[i];
        if (g.end.load() != 0) continue;
        g.lost.store(false);
        g.begin.store(reinterpret_cast<std::uintptr_t>(data));
        g.end.store(reinterpret_cast<std::uintptr_t>(data) + size);
        return i;
    }
    return -1;
}

void UnguardMapping(int guard) {
    if (guard < 0 || guard >= kGuards) return;
    g_guards[guard].end.store(0);
    g_guards[guard].begin.store(0);
}

bool MappingLost(int guard) {
    return guard >= 0 && guard < kGuards && g_guards[guard].lost.load();
}

}  // namespace linksim
