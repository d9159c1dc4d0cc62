// The Mac account record. Lookups fill storage of the calling thread, so any number of
// threads may look users up at once; a record stays valid until that thread's next lookup.
#pragma once
#include <System/types.h>

namespace macos {

struct passwd {
    char* pw_name;
    char* pw_passwd;
    uid_t pw_uid;
    gid_t pw_gid;
    time_t pw_change; // when the password must be changed, seconds since 1970; 0 if never
    char* pw_class;   // user class: always "" here
    char* pw_gecos;
    char* pw_dir;
    char* pw_shell;
    time_t pw_expire; // when the account expires, seconds since 1970; 0 if never
};

// The record of the named account or user id, or null when there is none.
struct passwd* getpwnam(const char* name);
struct passwd* getpwuid(uid_t uid);

} // namespace macos
