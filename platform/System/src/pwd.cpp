#include "narrow.h"

#include <System/pwd.h>
#include <cerrno>
#include <pwd.h>
#include <shadow.h>
#include <vector>

namespace macos {

namespace {

constexpr int64_t secondsPerDay = 86400;
// Shadow files write "no limit" as an empty field (-1) or as 99999 days.
constexpr long noLimitDays = 99999;

char emptyClass[] = "";

// Each thread keeps its own record and the bytes it points into.
struct ThreadRecord {
    struct passwd mac {};
    ::passwd linux{};
    std::vector<char> bytes = std::vector<char>(1024);
    ::spwd shadow{};
    std::vector<char> shadowBytes = std::vector<char>(1024);
};
thread_local ThreadRecord record;

// Runs a reentrant lookup, growing its buffer while the lookup asks for more room.
template <typename Lookup> bool lookUp(std::vector<char>& bytes, Lookup lookup) {
    for (;;) {
        int err = lookup(bytes.data(), bytes.size());
        if (err != ERANGE) return err == 0;
        if (bytes.size() >= (1u << 20)) return false;
        bytes.resize(bytes.size() * 2);
    }
}

// Password change and account expiry from the shadow record, where this process may read it.
void addShadowTimes(ThreadRecord& r) {
    r.mac.pw_change = 0;
    r.mac.pw_expire = 0;
    ::spwd* found = nullptr;
    bool ok = lookUp(r.shadowBytes, [&](char* buf, size_t len) {
        return ::getspnam_r(r.linux.pw_name, &r.shadow, buf, len, &found) == 0 ? 0 : errno;
    });
    if (!ok || !found) return;
    if (found->sp_lstchg > 0 && found->sp_max >= 0 && found->sp_max < noLimitDays)
        r.mac.pw_change = detail::narrowTime((found->sp_lstchg + found->sp_max) * secondsPerDay);
    if (found->sp_expire > 0)
        r.mac.pw_expire = detail::narrowTime(found->sp_expire * secondsPerDay);
}

struct passwd* publish(ThreadRecord& r) {
    r.mac.pw_name = r.linux.pw_name;
    r.mac.pw_passwd = r.linux.pw_passwd;
    r.mac.pw_uid = r.linux.pw_uid;
    r.mac.pw_gid = r.linux.pw_gid;
    r.mac.pw_class = emptyClass;
    r.mac.pw_gecos = r.linux.pw_gecos;
    r.mac.pw_dir = r.linux.pw_dir;
    r.mac.pw_shell = r.linux.pw_shell;
    addShadowTimes(r);
    return &r.mac;
}

} // namespace

struct passwd* getpwnam(const char* name) {
    ::passwd* found = nullptr;
    if (!lookUp(record.bytes,
                [&](char* buf, size_t len) {
                    return ::getpwnam_r(name, &record.linux, buf, len, &found);
                }) ||
        !found)
        return nullptr;
    return publish(record);
}

struct passwd* getpwuid(uid_t uid) {
    ::passwd* found = nullptr;
    if (!lookUp(record.bytes,
                [&](char* buf, size_t len) {
                    return ::getpwuid_r(uid, &record.linux, buf, len, &found);
                }) ||
        !found)
        return nullptr;
    return publish(record);
}

} // namespace macos
