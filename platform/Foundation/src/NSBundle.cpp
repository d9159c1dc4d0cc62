#include <Foundation/NSBundle.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <plist/plist.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

struct NSBundle {
    std::string bundlePath;
    std::string executablePath;
    plist_t info = nullptr; // a dictionary, or null
    std::string infoError;  // empty unless Info.plist exists but cannot be used
};

namespace {

// An information dictionary is a few kilobytes; anything past this is no Info.plist.
constexpr off_t maxInfoSize = 16 * 1024 * 1024;

std::string executablePath() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return {};
    return std::string(path, static_cast<size_t>(length));
}

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string lastComponentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads Info.plist into bundle.info; a missing file leaves the bundle without a dictionary.
void readInfo(NSBundle& bundle, const std::string& path) {
    auto fail = [&](const char* reason) { bundle.infoError = path + ": " + reason; };

    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) fail(std::strerror(errno));
        return;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return fail("not a regular file");
    }
    if (status.st_size > maxInfoSize) {
        close(fd);
        return fail("too large for an information dictionary");
    }
    std::string contents(static_cast<size_t>(status.st_size), '\0');
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t got = read(fd, contents.data() + done, contents.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    close(fd);
    if (done != contents.size()) return fail("cannot be read in full");

    plist_t root = nullptr;
    if (!contents.empty())
        plist_from_memory(contents.data(), static_cast<uint32_t>(contents.size()), &root);
    if (root == nullptr) return fail("not a property list");
    if (plist_get_node_type(root) != PLIST_DICT) {
        plist_free(root);
        return fail("not a dictionary");
    }
    bundle.info = root;
}

const NSBundle* findMainBundle() {
    auto* bundle = new NSBundle;
    bundle->executablePath = executablePath();
    if (bundle->executablePath.empty()) return bundle;

    std::string directory = parentOf(bundle->executablePath);
    std::string contents = parentOf(directory);
    if (lastComponentOf(directory) == "MacOS" && lastComponentOf(contents) == "Contents") {
        bundle->bundlePath = parentOf(contents);
        readInfo(*bundle, contents + "/Info.plist");
    } else {
        bundle->bundlePath = directory;
    }
    return bundle;
}

} // namespace

FOUNDATION_EXPORT const NSBundle* NSBundleGetMainBundle(void) {
    // Made once and kept for the life of the process: callers hold its strings freely.
    static const NSBundle* const mainBundle = findMainBundle();
    return mainBundle;
}

FOUNDATION_EXPORT const char* NSBundleGetBundlePath(const NSBundle* bundle) {
    return bundle == nullptr ? "" : bundle->bundlePath.c_str();
}

FOUNDATION_EXPORT const char* NSBundleGetExecutablePath(const NSBundle* bundle) {
    return bundle == nullptr ? "" : bundle->executablePath.c_str();
}

FOUNDATION_EXPORT bool NSBundleHasInfoDictionary(const NSBundle* bundle) {
    return bundle != nullptr && bundle->info != nullptr;
}

FOUNDATION_EXPORT const char* NSBundleGetInfoString(const NSBundle* bundle, const char* key) {
    if (bundle == nullptr || bundle->info == nullptr || key == nullptr) return nullptr;
    plist_t value = plist_dict_get_item(bundle->info, key);
    if (value == nullptr || plist_get_node_type(value) != PLIST_STRING) return nullptr;
    return plist_get_string_ptr(value, nullptr);
}

FOUNDATION_EXPORT const char* NSBundleGetInfoError(const NSBundle* bundle) {
    if (bundle == nullptr || bundle->infoError.empty()) return nullptr;
    return bundle->infoError.c_str();
}
