// Giving up a setuid/setgid start or file capabilities for good, once port access is gained.
// Supplementary groups are left alone: a setuid start keeps the caller's own list.
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "portio/backends.h"

namespace portio {
namespace {

struct Ids {
    uid_t ruid, euid, suid;
    gid_t rgid, egid, sgid;
};

Ids CurrentIds() {
    Ids ids{};
    getresuid(&ids.ruid, &ids.euid, &ids.suid);
    getresgid(&ids.rgid, &ids.egid, &ids.sgid);
    return ids;
}

bool IdsElevated(const Ids& ids) {
    return ids.euid != ids.ruid || ids.suid != ids.ruid || ids.egid != ids.rgid ||
           ids.sgid != ids.rgid;
}

struct CapSets {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

bool HoldsCapabilities() {
    CapSets caps;
    if (syscall(SYS_capget, &caps.header, caps.data) != 0) return true;
    for (const auto& d : caps.data) {
        if (d.permitted != 0 || d.effective != 0 || d.inheritable != 0) return true;
    }
    return false;
}

bool Fail(std::string* why, const char* what) {
    *why = std::string(what) + ": " + std::strerror(errno);
    return false;
}

}  // namespace

bool StartedWithMoreRights() {
    const Ids ids = CurrentIds();
    // Root's own capabilities are not more than its user has.
    return IdsElevated(ids) || (ids.ruid != 0 && HoldsCapabilities());
}

bool DropPrivileges(std::string* why) {
    const Ids before = CurrentIds();
    // Root's own capabilities are not more than its user has.
    const bool capabilities = before.ruid != 0 && HoldsCapabilities();
    if (!IdsElevated(before) && !capabilities) return true;

    // Group first: changing the group needs the privilege the user id change gives up.
    if (setresgid(before.rgid, before.rgid, before.rgid) != 0) return Fail(why, "setresgid");
    if (setresuid(before.ruid, before.ruid, before.ruid) != 0) return Fail(why, "setresuid");
    if (before.ruid != 0) {
        prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
        CapSets none;
        if (syscall(SYS_capset, &none.header, none.data) != 0) return Fail(why, "capset");
    }

    const Ids after = CurrentIds();
    if (IdsElevated(after) || after.ruid != before.ruid || after.rgid != before.rgid) {
        *why = "the user and group ids did not all change";
        return false;
    }
    if (before.ruid != 0) {
        if (HoldsCapabilities()) {
            *why = "capabilities are still held";
            return false;
        }
        if (before.euid != before.ruid && setresuid(-1, before.euid, -1) == 0) {
            *why = "the user id " + std::to_string(before.euid) + " could be taken back";
            return false;
        }
        if (before.egid != before.rgid && setresgid(-1, before.egid, -1) == 0) {
            *why = "the group id " + std::to_string(before.egid) + " could be taken back";
            return false;
        }
    }
    return true;
}

}  // namespace portio
