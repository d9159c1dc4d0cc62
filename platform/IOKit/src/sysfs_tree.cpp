#include "sysfs_tree.h"

#include <IOKit/IOKitKeys.h>
#include <IOKit/IOKitSysfs.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace iokit::sysfs {
namespace {

std::mutex rootMutex;
std::string sysfsRoot = "/sys";

std::string currentRoot() {
    std::lock_guard lock(rootMutex);
    return sysfsRoot;
}

// Attribute files larger than this are not text attributes (binary blobs such as PCI ROMs).
constexpr size_t maxAttributeSize = 4096;
// A grouping directory holds its devices at most this deep.
constexpr int maxGroupingDepth = 6;

std::optional<std::string> canonical(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

bool isRealDirectory(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The names in a directory with their kinds, without "." and "..".
struct DirectoryItem {
    std::string name;
    bool isDirectory;
    bool isRegular;
};

// The items of the directory open as fd (which the call takes over and closes).
std::vector<DirectoryItem> listOpen(int fd) {
    std::vector<DirectoryItem> items;
    if (fd < 0) return items;
    struct Closer {
        void operator()(DIR* d) const { closedir(d); }
    };
    std::unique_ptr<DIR, Closer> dir(fdopendir(fd));
    if (!dir) {
        close(fd);
        return items;
    }
    while (dirent* d = readdir(dir.get())) {
        std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(dir.get()), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
        }
        items.push_back({std::move(name), type == DT_DIR, type == DT_REG});
    }
    return items;
}

// A descriptor closed when the holder goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

int openDirectoryAt(int at, const char* name) {
    return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

std::vector<DirectoryItem> list(const std::string& path) {
    return listOpen(openDirectoryAt(AT_FDCWD, path.c_str()));
}

// Lookups relative to the directory being listed: sysfs paths are long, and the walk makes
// several lookups per directory.
bool hasUeventAt(int at, const std::string& name) {
    struct stat st;
    return fstatat(at, (name + "/uevent").c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode);
}

bool hasUevent(const std::string& path) {
    return hasUeventAt(AT_FDCWD, path);
}

bool holdsDeviceAt(int at, const std::string& name, int depth) {
    if (depth > maxGroupingDepth) return false;
    Descriptor dir{openDirectoryAt(at, name.c_str())};
    if (dir.fd < 0) return false;
    // listOpen closes the descriptor it is given: list through a copy, look below through dir.
    for (const auto& item : listOpen(dup(dir.fd))) {
        if (item.isDirectory &&
            (hasUeventAt(dir.fd, item.name) || holdsDeviceAt(dir.fd, item.name, depth + 1)))
            return true;
    }
    return false;
}

// Is the directory `name` in the directory open as `at` an entry?
bool isEntryAt(int at, const std::string& name) {
    return hasUeventAt(at, name) || holdsDeviceAt(at, name, 0);
}

// The file's text without its trailing newline and blanks; nullopt when it cannot be read,
// is too large, or holds what is not text (NUL bytes or bytes that are not UTF-8).
std::optional<std::string> readText(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    std::string text(maxAttributeSize + 1, '\0');
    size_t used = 0;
    while (used < text.size()) {
        ssize_t n = read(fd, text.data() + used, text.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    close(fd);
    if (used > maxAttributeSize) return std::nullopt;
    text.resize(used);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    if (text.find('\0') != std::string::npos) return std::nullopt;
    return text;
}

std::optional<int64_t> integerOf(const std::string& text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    if (text.size() > 1 && text[0] == '0') return std::nullopt; // "0644", "007": keep as text
    int64_t value;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::map<std::string, std::string> ueventOf(const std::string& path) {
    std::map<std::string, std::string> keys;
    std::optional<std::string> text = readText(path + "/uevent");
    if (!text) return keys;
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        if (size_t eq = line.find('='); eq != std::string::npos && eq > 0)
            keys[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return keys;
}

// A dictionary filler that owns what it creates for the moment it takes to store it.
class Filler {
  public:
    explicit Filler(CFMutableDictionaryRef dict) : dict_(dict) {}

    void set(const std::string& key, CFTypeRef value) {
        if (!value) return;
        CFStringRef cfKey =
            CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(key.data()),
                                    CFIndex(key.size()), kCFStringEncodingUTF8, false);
        if (cfKey) CFDictionarySetValue(dict_, cfKey, value);
        if (cfKey) CFRelease(cfKey);
    }
    void setOwned(const std::string& key, CFTypeRef value) {
        set(key, value);
        if (value) CFRelease(value);
    }
    void setNumber(const std::string& key, int64_t value) {
        setOwned(key, CFNumberCreate(nullptr, kCFNumberSInt64Type, &value));
    }
    void setString(const std::string& key, const std::string& value) {
        // Text that is not UTF-8 gives no string and so no property.
        setOwned(key, CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(value.data()),
                                              CFIndex(value.size()), kCFStringEncodingUTF8, false));
    }
    // A number when the text is a decimal integer, else a string.
    void setValue(const std::string& key, const std::string& text) {
        if (auto number = integerOf(text))
            setNumber(key, *number);
        else
            setString(key, text);
    }
    void setBoolean(const std::string& key, bool value) {
        set(key, value ? kCFBooleanTrue : kCFBooleanFalse);
    }

  private:
    CFMutableDictionaryRef dict_;
};

std::optional<int64_t> integerAttribute(const std::string& path) {
    std::optional<std::string> text = readText(path);
    return text ? integerOf(*text) : std::nullopt;
}

void addMediaProperties(Filler& out, const std::string& path,
                        const std::map<std::string, std::string>& uevent) {
    auto key = [&](const char* name) -> std::optional<std::string> {
        auto it = uevent.find(name);
        return it == uevent.end() ? std::nullopt : std::optional(it->second);
    };
    if (auto devname = key("DEVNAME")) out.setString(kIOBSDNameKey, *devname);
    if (auto major = key("MAJOR"); major && integerOf(*major))
        out.setNumber(kIOBSDMajorKey, *integerOf(*major));
    if (auto minor = key("MINOR"); minor && integerOf(*minor))
        out.setNumber(kIOBSDMinorKey, *integerOf(*minor));
    bool whole = key("DEVTYPE") != std::optional<std::string>("partition");
    out.setBoolean(kIOMediaWholeKey, whole);
    // A partition's disk (the directory above it) holds the queue and removable flag.
    std::string disk = whole ? path : path.substr(0, path.rfind('/'));
    if (auto sectors = integerAttribute(path + "/size");
        sectors && *sectors >= 0 && *sectors <= INT64_MAX / 512)
        out.setNumber(kIOMediaSizeKey, *sectors * 512);
    if (auto removable = integerAttribute(disk + "/removable"))
        out.setBoolean(kIOMediaRemovableKey, *removable != 0);
    if (auto readOnly = integerAttribute(path + "/ro"))
        out.setBoolean(kIOMediaWritableKey, *readOnly == 0);
    int64_t blockSize = integerAttribute(disk + "/queue/logical_block_size").value_or(512);
    out.setNumber(kIOMediaPreferredBlockSizeKey, blockSize > 0 ? blockSize : 512);
}

} // namespace

std::optional<Location> rootLocation() {
    std::optional<std::string> devices = canonical(currentRoot() + "/devices");
    if (!devices || !isRealDirectory(*devices)) return std::nullopt;
    if (access(devices->c_str(), R_OK | X_OK) != 0) return std::nullopt;
    return Location{*devices, ""};
}

std::vector<Location> children(const Location& entry) {
    std::vector<Location> found;
    Descriptor dir{openDirectoryAt(AT_FDCWD, entry.path().c_str())};
    if (dir.fd < 0) return found;
    for (const auto& item : listOpen(dup(dir.fd))) {
        if (!item.isDirectory || !isEntryAt(dir.fd, item.name)) continue;
        found.push_back(
            {entry.devices, entry.isRoot() ? item.name : entry.relative + "/" + item.name});
    }
    std::sort(found.begin(), found.end(),
              [](const Location& a, const Location& b) { return a.relative < b.relative; });
    return found;
}

std::optional<Location> parent(const Location& entry) {
    if (entry.isRoot()) return std::nullopt;
    size_t slash = entry.relative.rfind('/');
    return Location{entry.devices,
                    slash == std::string::npos ? "" : entry.relative.substr(0, slash)};
}

std::string name(const Location& entry) {
    if (entry.isRoot()) return "Root";
    size_t slash = entry.relative.rfind('/');
    return slash == std::string::npos ? entry.relative : entry.relative.substr(slash + 1);
}

std::string className(const Location& entry) {
    if (entry.isRoot()) return "IORegistryEntry";
    char target[PATH_MAX];
    ssize_t n = readlink((entry.path() + "/subsystem").c_str(), target, sizeof target - 1);
    if (n <= 0) return "IOService";
    std::string subsystem(target, static_cast<size_t>(n));
    subsystem = subsystem.substr(subsystem.rfind('/') + 1);
    static const std::map<std::string, std::string> classes = {
        {"block", kIOMediaClass},         {"pci", "IOPCIDevice"},
        {"usb", "IOUSBHostDevice"},       {"net", "IONetworkInterface"},
        {"platform", "IOPlatformDevice"}, {"scsi", "IOSCSIDevice"},
        {"virtio", "IOVirtioDevice"},     {"cpu", "IOCPU"},
    };
    auto it = classes.find(subsystem);
    return it == classes.end() ? "IOService" : it->second;
}

std::vector<Location> allEntries(const Location& root) {
    std::vector<Location> entries{root};
    for (size_t i = 0; i < entries.size(); ++i) {
        std::vector<Location> below = children(entries[i]);
        entries.insert(entries.end(), below.begin(), below.end());
    }
    return entries;
}

std::optional<Location> blockDevice(const std::string& bsdName) {
    if (bsdName.empty() || bsdName.size() > NAME_MAX || bsdName == "." || bsdName == ".." ||
        bsdName.find('/') != std::string::npos)
        return std::nullopt;
    std::optional<Location> root = rootLocation();
    if (!root) return std::nullopt;
    std::optional<std::string> device = canonical(currentRoot() + "/class/block/" + bsdName);
    if (!device || !device->starts_with(root->devices + "/") || !hasUevent(*device))
        return std::nullopt;
    return Location{root->devices, device->substr(root->devices.size() + 1)};
}

CFMutableDictionaryRef createProperties(const Location& entry) {
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (!dict) return nullptr;
    Filler out(dict);
    std::string path = entry.path();
    // The root stands for no device and has no properties. Otherwise: attributes first, then
    // the uevent keys, then the registry's own keys; later ones win.
    if (entry.isRoot()) return dict;
    // Only attributes anyone may read: the kernel keeps those whose reads reach the hardware
    // (PCI resource files, ROMs, VPD) to root.
    for (const auto& item : list(path)) {
        if (!item.isRegular || item.name == "uevent") continue;
        struct stat st;
        std::string file = path + "/" + item.name;
        if (lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !(st.st_mode & S_IROTH) ||
            static_cast<size_t>(st.st_size) > maxAttributeSize)
            continue;
        if (std::optional<std::string> text = readText(file)) out.setValue(item.name, *text);
    }
    std::map<std::string, std::string> uevent = ueventOf(path);
    for (const auto& [key, value] : uevent)
        out.setValue(key, value);
    std::string cls = className(entry);
    out.setString(kIOClassKey, cls);
    if (cls == kIOMediaClass) addMediaProperties(out, path, uevent);
    return dict;
}

} // namespace iokit::sysfs

void IOKitSetSysfsRoot(const char* path) {
    std::lock_guard lock(iokit::sysfs::rootMutex);
    iokit::sysfs::sysfsRoot = path ? path : "/sys";
}
