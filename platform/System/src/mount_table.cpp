#include "mount_table.h"

#include <cerrno>
#include <charconv>
#include <fstream>

namespace macos::detail {

namespace {

// mountinfo writes space, tab, newline and backslash in paths as \ and three octal digits.
std::string unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    auto octal = [&](size_t k) { return field[k] >= '0' && field[k] <= '7'; };
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                     (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> splitSpaces(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        size_t end = line.find(' ', at);
        if (end == std::string_view::npos) end = line.size();
        if (end > at) fields.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

template <typename T> bool parseNumber(std::string_view text, T& value) {
    auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), value);
    return err == std::errc() && end == text.data() + text.size();
}

} // namespace

// "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
std::optional<MountEntry> parseMountInfoLine(std::string_view line) {
    auto fields = splitSpaces(line);
    size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    if (fields.size() < 6 || separator + 2 >= fields.size()) return std::nullopt;

    MountEntry entry;
    std::string_view device = fields[2];
    size_t colon = device.find(':');
    if (colon == std::string_view::npos || !parseNumber(fields[0], entry.id) ||
        !parseNumber(fields[1], entry.parentId) ||
        !parseNumber(device.substr(0, colon), entry.major) ||
        !parseNumber(device.substr(colon + 1), entry.minor))
        return std::nullopt;
    entry.root = unescape(fields[3]);
    entry.mountPoint = unescape(fields[4]);
    entry.mountOptions = std::string(fields[5]);
    entry.fsType = unescape(fields[separator + 1]);
    entry.source = unescape(fields[separator + 2]);
    if (separator + 3 < fields.size()) entry.superOptions = std::string(fields[separator + 3]);
    return entry;
}

std::vector<MountEntry> readMountTable() {
    std::vector<MountEntry> table;
    std::ifstream in("/proc/self/mountinfo");
    if (!in) {
        if (errno == 0) errno = ENOENT;
        return table;
    }
    std::string line;
    while (std::getline(in, line))
        if (auto entry = parseMountInfoLine(line)) table.push_back(std::move(*entry));
    return table;
}

std::optional<MountEntry> findMount(uint64_t mountId) {
    for (auto& entry : readMountTable())
        if (entry.id == mountId) return std::move(entry);
    return std::nullopt;
}

bool isNetworkFileSystem(std::string_view fsType) {
    constexpr std::string_view network[] = {"nfs",   "nfs4",   "cifs", "smb3",      "smbfs",
                                            "ncpfs", "afs",    "ceph", "glusterfs", "9p",
                                            "coda",  "lustre", "gfs2", "ocfs2",     "davfs"};
    for (auto type : network)
        if (fsType == type) return true;
    // FUSE file systems are often remote (sshfs, s3fs) and may hang like one.
    return fsType.starts_with("fuse.") || fsType == "fuse";
}

} // namespace macos::detail
