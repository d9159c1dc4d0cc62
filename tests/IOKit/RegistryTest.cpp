// The registry against a small sysfs-shaped fixture tree built for each test.
#include <IOKit/IOKitLib.h>
#include <IOKit/IOKitSysfs.h>
#include <mach/mach.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string longName(127, 'x');    // fits io_name_t with its NUL
const std::string tooLongName(130, 'y'); // cut to 127 bytes

class Registry : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/iokit-fixture-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        device("platform", "DRIVER=\n");
        device("platform/serial8250", "DRIVER=serial8250\n");
        fs::create_directories(root / "devices/virtual/block"); // grouping, no uevent
        fs::create_directories(root / "class/block");
        device("virtual/block/loop9", "MAJOR=7\nMINOR=9\nDEVNAME=loop9\nDEVTYPE=disk\n");
        file("virtual/block/loop9/size", "2048\n");
        file("virtual/block/loop9/ro", "0\n");
        file("virtual/block/loop9/removable", "0\n");
        file("virtual/block/loop9/queue/logical_block_size", "4096\n");
        file("virtual/block/loop9/power/control", "auto\n"); // an attribute group: no entry
        file("virtual/block/loop9/binary", std::string("a\0b", 3));
        file("virtual/block/loop9/huge", std::string(5000, 'z'));
        file("virtual/block/loop9/secret", "1\n");
        fs::permissions(root / "devices/virtual/block/loop9/secret", fs::perms::owner_write);
        file("virtual/block/loop9/resource0", "1\n"); // root-only: its reads may reach hardware
        fs::permissions(root / "devices/virtual/block/loop9/resource0",
                        fs::perms::owner_read | fs::perms::owner_write);
        fs::create_directory_symlink("../../../../class/block",
                                     root / "devices/virtual/block/loop9/subsystem");
        device("virtual/block/loop9/loop9p1",
               "MAJOR=259\nMINOR=0\nDEVNAME=loop9p1\nDEVTYPE=partition\nPARTN=1\n");
        file("virtual/block/loop9/loop9p1/size", "1024\n");
        file("virtual/block/loop9/loop9p1/ro", "1\n");
        fs::create_directory_symlink("../../../../../class/block",
                                     root / "devices/virtual/block/loop9/loop9p1/subsystem");
        fs::create_directory_symlink("../../devices/virtual/block/loop9",
                                     root / "class/block/loop9");
        fs::create_directory_symlink("../../devices/virtual/block/loop9/loop9p1",
                                     root / "class/block/loop9p1");
        fs::create_directory_symlink("../../devices/platform", root / "class/block/notablock");
        device(longName, "");
        device(tooLongName, "");
        IOKitSetSysfsRoot(root.c_str());
        ASSERT_EQ(IOMasterPort(MACH_PORT_NULL, &master), KERN_SUCCESS);
    }
    void TearDown() override {
        mach_port_deallocate(mach_task_self(), master);
        IOKitSetSysfsRoot(nullptr);
        fs::remove_all(root);
    }

    void device(const std::string& path, const std::string& uevent) {
        file(path + "/uevent", uevent);
    }
    void file(const std::string& path, const std::string& contents) {
        fs::path at = root / "devices" / path;
        fs::create_directories(at.parent_path());
        std::ofstream(at, std::ios::binary) << contents;
    }

    static std::string nameOf(io_registry_entry_t entry) {
        io_name_t name;
        return IORegistryEntryGetName(entry, name) == KERN_SUCCESS ? name : "<error>";
    }
    static std::vector<std::string> childNames(io_registry_entry_t entry) {
        std::vector<std::string> names;
        io_iterator_t it = 0;
        EXPECT_EQ(IORegistryEntryGetChildIterator(entry, kIOServicePlane, &it), KERN_SUCCESS);
        while (io_object_t child = IOIteratorNext(it)) {
            names.push_back(nameOf(child));
            IOObjectRelease(child);
        }
        IOObjectRelease(it);
        return names;
    }
    // The entry that matches a BSD name, or 0.
    io_registry_entry_t media(const char* bsdName) {
        io_iterator_t it = 0;
        if (IOServiceGetMatchingServices(master, IOBSDNameMatching(master, 0, bsdName), &it) != 0)
            return 0;
        io_registry_entry_t entry = IOIteratorNext(it);
        EXPECT_EQ(IOIteratorNext(it), 0u) << "one device per BSD name";
        IOObjectRelease(it);
        return entry;
    }

    fs::path root;
    mach_port_t master = 0;
};

TEST_F(Registry, WalksFromTheRootToALeafAndBackByParents) {
    io_registry_entry_t entry = IORegistryGetRootEntry(master);
    ASSERT_NE(entry, 0u);
    EXPECT_EQ(nameOf(entry), "Root");
    EXPECT_EQ(childNames(entry), (std::vector<std::string>{"platform", "virtual", longName,
                                                           tooLongName.substr(0, 127)}));

    for (const char* step : {"virtual", "block", "loop9", "loop9p1"}) {
        io_iterator_t it = 0;
        ASSERT_EQ(IORegistryEntryGetChildIterator(entry, kIOServicePlane, &it), KERN_SUCCESS);
        io_registry_entry_t next = 0;
        while (io_object_t child = IOIteratorNext(it)) {
            if (nameOf(child) == step)
                next = child;
            else
                IOObjectRelease(child);
        }
        IOObjectRelease(it);
        ASSERT_NE(next, 0u) << step;
        IOObjectRelease(entry);
        entry = next;
    }
    EXPECT_TRUE(childNames(entry).empty());
    io_registry_entry_t none = 0xdead;
    EXPECT_EQ(IORegistryEntryGetChildEntry(entry, kIOServicePlane, &none), kIOReturnNoDevice);
    EXPECT_EQ(none, 0xdeadu);
    io_string_t path;
    ASSERT_EQ(IORegistryEntryGetPath(entry, kIOServicePlane, path), KERN_SUCCESS);
    EXPECT_STREQ(path, "IOService:/virtual/block/loop9/loop9p1");

    std::vector<std::string> upwards;
    for (;;) {
        upwards.push_back(nameOf(entry));
        io_registry_entry_t parent = 0;
        kern_return_t status = IORegistryEntryGetParentEntry(entry, kIOServicePlane, &parent);
        IOObjectRelease(entry);
        if (status != KERN_SUCCESS) {
            EXPECT_EQ(status, kIOReturnNoDevice);
            break;
        }
        entry = parent;
    }
    EXPECT_EQ(upwards, (std::vector<std::string>{"loop9p1", "loop9", "block", "virtual", "Root"}));
}

TEST_F(Registry, PlanesItLacksGiveNothing) {
    io_registry_entry_t rootEntry = IORegistryGetRootEntry(master);
    for (const char* plane : {"IODeviceTree", "", "IOServic", "IOService "}) {
        io_object_t out = 0;
        EXPECT_NE(IORegistryEntryGetChildEntry(rootEntry, plane, &out), KERN_SUCCESS) << plane;
        EXPECT_NE(IORegistryEntryGetChildIterator(rootEntry, plane, &out), KERN_SUCCESS);
        EXPECT_NE(IORegistryEntryGetParentEntry(rootEntry, plane, &out), KERN_SUCCESS);
        EXPECT_NE(IORegistryEntryGetParentIterator(rootEntry, plane, &out), KERN_SUCCESS);
        EXPECT_EQ(out, 0u);
    }
    io_object_t out = 0;
    EXPECT_NE(IORegistryEntryGetChildEntry(rootEntry, nullptr, &out), KERN_SUCCESS);
    IOObjectRelease(rootEntry);
}

TEST_F(Registry, IteratorsResetAndParentIteratorsGiveOneParent) {
    io_registry_entry_t loop = media("loop9p1");
    ASSERT_NE(loop, 0u);
    io_iterator_t it = 0;
    ASSERT_EQ(IORegistryEntryGetParentIterator(loop, kIOServicePlane, &it), KERN_SUCCESS);
    EXPECT_TRUE(IOIteratorIsValid(it));
    io_object_t parent = IOIteratorNext(it);
    EXPECT_EQ(nameOf(parent), "loop9");
    EXPECT_EQ(IOIteratorNext(it), 0u);
    EXPECT_EQ(IOIteratorNext(it), 0u);
    IOIteratorReset(it);
    io_object_t again = IOIteratorNext(it);
    EXPECT_NE(again, parent); // a new name for the same entry
    EXPECT_TRUE(IOObjectIsEqualTo(again, parent));
    IOObjectRelease(again);
    IOObjectRelease(parent);
    IOObjectRelease(it);
    EXPECT_FALSE(IOIteratorIsValid(it));
    IOObjectRelease(loop);
}

TEST_F(Registry, NamesFitTheBufferAndLongerOnesAreCut) {
    io_iterator_t it = 0;
    io_registry_entry_t rootEntry = IORegistryGetRootEntry(master);
    ASSERT_EQ(IORegistryEntryGetChildIterator(rootEntry, kIOServicePlane, &it), KERN_SUCCESS);
    std::vector<size_t> lengths;
    while (io_object_t child = IOIteratorNext(it)) {
        io_name_t name;
        std::memset(name, '#', sizeof name);
        ASSERT_EQ(IORegistryEntryGetName(child, name), KERN_SUCCESS);
        lengths.push_back(std::strlen(name));
        IOObjectRelease(child);
    }
    EXPECT_EQ(lengths, (std::vector<size_t>{8, 7, 127, 127}));
    IOObjectRelease(it);
    IOObjectRelease(rootEntry);
}

TEST_F(Registry, BsdNameMatchGivesTheMediaWithItsProperties) {
    io_registry_entry_t disk = media("loop9");
    ASSERT_NE(disk, 0u);
    EXPECT_EQ(nameOf(disk), "loop9");
    EXPECT_TRUE(IOObjectConformsTo(disk, kIOMediaClass));
    EXPECT_TRUE(IOObjectConformsTo(disk, "IOService"));
    CFMutableDictionaryRef props = nullptr;
    ASSERT_EQ(IORegistryEntryCreateCFProperties(disk, &props, kCFAllocatorDefault, 0),
              KERN_SUCCESS);
    auto number = [&](const char* key) {
        CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
        int64_t value = -1;
        const void* v = CFDictionaryGetValue(props, k);
        CFRelease(k);
        if (!v || CFGetTypeID(v) != CFNumberGetTypeID()) return int64_t{-99};
        CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt64Type, &value);
        return value;
    };
    auto value = [&](const char* key) {
        CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
        CFTypeRef v = CFDictionaryGetValue(props, k);
        CFRelease(k);
        return v;
    };
    EXPECT_EQ(_CFStringCopyUTF8String(static_cast<CFStringRef>(value("BSD Name"))), "loop9");
    EXPECT_EQ(number("Size"), 2048 * 512);
    EXPECT_EQ(number("BSD Major"), 7);
    EXPECT_EQ(number("BSD Minor"), 9);
    EXPECT_EQ(number("Preferred Block Size"), 4096);
    EXPECT_EQ(value("Whole"), kCFBooleanTrue);
    EXPECT_EQ(value("Writable"), kCFBooleanTrue);
    EXPECT_EQ(value("Removable"), kCFBooleanFalse);
    EXPECT_EQ(number("size"), 2048); // the attribute itself
    EXPECT_EQ(_CFStringCopyUTF8String(static_cast<CFStringRef>(value("DEVTYPE"))), "disk");
    EXPECT_EQ(_CFStringCopyUTF8String(static_cast<CFStringRef>(value("IOClass"))), "IOMedia");
    for (const char* absent :
         {"binary", "huge", "secret", "resource0", "uevent", "power", "control"})
        EXPECT_EQ(value(absent), nullptr) << absent;
    CFRelease(props);
    IOObjectRelease(disk);

    io_registry_entry_t part = media("loop9p1");
    ASSERT_EQ(IORegistryEntryCreateCFProperties(part, &props, kCFAllocatorDefault, 0),
              KERN_SUCCESS);
    EXPECT_EQ(value("Whole"), kCFBooleanFalse);
    EXPECT_EQ(value("Writable"), kCFBooleanFalse);
    EXPECT_EQ(value("Removable"), kCFBooleanFalse); // the disk's
    EXPECT_EQ(number("Preferred Block Size"), 4096);
    EXPECT_EQ(number("Size"), 1024 * 512);
    CFRelease(props);
    IOObjectRelease(part);
}

TEST_F(Registry, MatchingConsumesTheDictionaryAndMayFindNothing) {
    CFMutableDictionaryRef matching = IOBSDNameMatching(master, 0, "loop9");
    ASSERT_NE(matching, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(matching), 2);
    CFRetain(matching);
    io_iterator_t it = 0;
    ASSERT_EQ(IOServiceGetMatchingServices(master, matching, &it), KERN_SUCCESS);
    EXPECT_EQ(CFGetRetainCount(matching), 1); // one reference taken
    CFRelease(matching);
    IOObjectRelease(it);

    for (const char* name : {"nosuch", "..", "../devices", "notablock", ""}) {
        EXPECT_EQ(media(name), 0u) << name;
    }
    EXPECT_EQ(IOBSDNameMatching(master, 0, nullptr), nullptr);
    EXPECT_EQ(IOBSDNameMatching(master, 0, "\xc0\x80"), nullptr);
    EXPECT_EQ(IOServiceGetMatchingServices(master, nullptr, &it), kIOReturnBadArgument);

    // Matching by class walks the whole tree.
    it = 0;
    ASSERT_EQ(IOServiceGetMatchingServices(master, IOServiceMatching("IOMedia"), &it),
              KERN_SUCCESS);
    std::vector<std::string> names;
    while (io_object_t entry = IOIteratorNext(it)) {
        names.push_back(nameOf(entry));
        IOObjectRelease(entry);
    }
    IOObjectRelease(it);
    EXPECT_EQ(names, (std::vector<std::string>{"loop9", "loop9p1"}));
}

TEST_F(Registry, StaleAndNeverIssuedNamesFail) {
    io_registry_entry_t entry = IORegistryGetRootEntry(master);
    io_iterator_t it = 0;
    ASSERT_EQ(IORegistryEntryGetChildIterator(entry, kIOServicePlane, &it), KERN_SUCCESS);
    EXPECT_EQ(IOObjectRelease(entry), KERN_SUCCESS);
    EXPECT_EQ(IOObjectRelease(it), KERN_SUCCESS);
    for (io_object_t stale : {entry, it, io_object_t{0}, io_object_t{0x7ffffff0},
                              io_object_t{0xffffffff}, mach_task_self()}) {
        io_name_t name = "untouched";
        EXPECT_NE(IORegistryEntryGetName(stale, name), KERN_SUCCESS);
        EXPECT_STREQ(name, "untouched");
        io_object_t out = 0;
        EXPECT_NE(IORegistryEntryGetChildEntry(stale, kIOServicePlane, &out), KERN_SUCCESS);
        EXPECT_NE(IORegistryEntryGetParentIterator(stale, kIOServicePlane, &out), KERN_SUCCESS);
        EXPECT_EQ(out, 0u);
        EXPECT_EQ(IOIteratorNext(stale), 0u);
        EXPECT_FALSE(IOIteratorIsValid(stale));
        IOIteratorReset(stale);
        CFMutableDictionaryRef props = nullptr;
        EXPECT_NE(IORegistryEntryCreateCFProperties(stale, &props, nullptr, 0), KERN_SUCCESS);
        EXPECT_EQ(props, nullptr);
        EXPECT_NE(IOObjectRelease(stale), KERN_SUCCESS);
    }
    EXPECT_EQ(IORegistryGetRootEntry(0x7ffffff0), 0u); // no master port
    EXPECT_NE(mach_task_self(), 0u);                   // the task port survived the release
}

TEST(RegistryRoot, NoDeviceTreeGivesNoMasterPort) {
    IOKitSetSysfsRoot("/nonexistent/sysfs");
    mach_port_t master = 0;
    EXPECT_EQ(IOMasterPort(MACH_PORT_NULL, &master), kIOReturnNoDevice);
    EXPECT_EQ(master, 0u);
    IOKitSetSysfsRoot(nullptr);
    EXPECT_EQ(IOMasterPort(0x1234, &master), kIOReturnBadArgument);
    EXPECT_EQ(IOMasterPort(MACH_PORT_NULL, &master), KERN_SUCCESS);
    EXPECT_EQ(mach_port_deallocate(mach_task_self(), master), KERN_SUCCESS);
}

// This machine's /sys: a read-only loop device of 8 MiB with 4096-byte sectors, so that every
// media value differs from what a default would give.
TEST(RealSysfs, LoopDeviceCarriesItsMediaValues) {
    if (geteuid() != 0 || access("/dev/loop-control", F_OK) != 0)
        GTEST_SKIP() << "needs root and /dev/loop-control to attach a loop device";
    char image[] = "/tmp/iokit-loop-XXXXXX";
    int fd = mkstemp(image);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 8 << 20), 0);
    close(fd);
    std::string command = std::string("losetup -f --show -r --sector-size 4096 ") + image;
    char device[64] = "";
    if (FILE* out = popen(command.c_str(), "r")) {
        if (!fgets(device, sizeof device, out)) device[0] = '\0';
        pclose(out);
    }
    device[std::strcspn(device, "\n")] = '\0';
    unlink(image);
    if (std::strncmp(device, "/dev/loop", 9) != 0) GTEST_SKIP() << "losetup gave no loop device";
    struct Detach {
        std::string device;
        ~Detach() { std::system(("losetup -d " + device).c_str()); }
    } detach{device};
    struct stat st;
    ASSERT_EQ(stat(device, &st), 0);
    const char* bsdName = device + 5;

    mach_port_t master = 0;
    ASSERT_EQ(IOMasterPort(MACH_PORT_NULL, &master), KERN_SUCCESS);
    io_registry_entry_t entry =
        IOServiceGetMatchingService(master, IOBSDNameMatching(master, 0, bsdName));
    CFMutableDictionaryRef props = nullptr;
    ASSERT_EQ(IORegistryEntryCreateCFProperties(entry, &props, kCFAllocatorDefault, 0),
              KERN_SUCCESS);
    auto value = [&](const char* key) {
        CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
        CFTypeRef v = CFDictionaryGetValue(props, k);
        CFRelease(k);
        return v;
    };
    auto number = [&](const char* key) {
        int64_t n = -1;
        CFNumberGetValue(static_cast<CFNumberRef>(value(key)), kCFNumberSInt64Type, &n);
        return n;
    };
    EXPECT_EQ(_CFStringCopyUTF8String(static_cast<CFStringRef>(value("BSD Name"))), bsdName);
    EXPECT_EQ(number("BSD Major"), int64_t{major(st.st_rdev)});
    EXPECT_EQ(number("BSD Minor"), int64_t{minor(st.st_rdev)});
    EXPECT_EQ(number("Size"), 8 << 20);
    EXPECT_EQ(number("Preferred Block Size"), 4096);
    EXPECT_EQ(value("Writable"), kCFBooleanFalse);
    EXPECT_EQ(value("Whole"), kCFBooleanTrue);
    EXPECT_EQ(value("Removable"), kCFBooleanFalse);
    CFRelease(props);
    IOObjectRelease(entry);
    mach_port_deallocate(mach_task_self(), master);
}

} // namespace
