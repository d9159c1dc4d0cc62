// The system's device tree as sysfs shows it: what is an entry, its children and parent, its
// name, its class and its properties.
//
// An entry is a directory (never a symbolic link) under <root>/devices that either has a
// "uevent" file (a device) or has a device somewhere below it (a grouping directory such as
// devices/virtual or a device's block/ directory). Attribute directories (power/, queue/...)
// are therefore not entries. The parent of an entry is the directory above it; <root>/devices
// itself is the root entry.
#pragma once
#include <CoreFoundation/CoreFoundation.h>

#include <optional>
#include <string>
#include <vector>

namespace iokit::sysfs {

// A place in one tree: the tree's devices directory and the entry's path below it ("" for
// the root entry, else "a/b/c").
struct Location {
    std::string devices;
    std::string relative;

    std::string path() const { return relative.empty() ? devices : devices + "/" + relative; }
    bool isRoot() const { return relative.empty(); }
    bool operator==(const Location&) const = default;
};

// The current tree's root entry; nullopt when its devices directory cannot be read.
std::optional<Location> rootLocation();

// The entries directly below, sorted by name.
std::vector<Location> children(const Location& entry);
// The entry above; nullopt for the root.
std::optional<Location> parent(const Location& entry);
// "Root" for the root, else the directory's name.
std::string name(const Location& entry);
// "IOMedia" for block devices, a class after the device's subsystem for some others,
// "IOService" for the rest.
std::string className(const Location& entry);
// Every entry of the tree, parents before children.
std::vector<Location> allEntries(const Location& root);

// The block device called bsdName (through <root>/class/block), if there is one.
std::optional<Location> blockDevice(const std::string& bsdName);

// A new dictionary of the entry's properties: its world-readable text attributes (up to 4 KiB,
// numbers as numbers), its uevent keys, "IOClass", and for block devices the media keys.
CFMutableDictionaryRef createProperties(const Location& entry);

} // namespace iokit::sysfs
