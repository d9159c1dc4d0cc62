// The registry calls: port names for entries and iterators over the sysfs device tree.
#include "registry_objects.h"

#include <IOKit/IOKitLib.h>

#include <cstring>

using iokit::Iterator;
using iokit::MasterPort;
using iokit::RegistryEntry;
namespace sysfs = iokit::sysfs;

namespace {

template <class T, class... Args> io_object_t name(Args&&... args) {
    try {
        return mach::insertName(std::make_shared<T>(std::forward<Args>(args)...));
    } catch (const std::bad_alloc&) {
        return IO_OBJECT_NULL;
    }
}

std::shared_ptr<RegistryEntry> entryOf(io_object_t object) {
    return mach::lookup<RegistryEntry>(object);
}

bool validMaster(mach_port_t masterPort) {
    return masterPort == kIOMasterPortDefault || mach::lookup<MasterPort>(masterPort);
}

bool knownPlane(const char* plane) {
    return plane && std::strcmp(plane, kIOServicePlane) == 0;
}

// Copies text into a NUL-terminated buffer of `size` bytes, cut at a UTF-8 character boundary
// when it does not fit.
void copyName(const std::string& text, char* buffer, size_t size) {
    size_t length = std::min(text.size(), size - 1);
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xc0) == 0x80)
            --length;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

kern_return_t iterate(std::vector<sysfs::Location> entries, io_iterator_t* iterator) {
    io_iterator_t made = name<Iterator>(std::move(entries));
    if (!made) return kIOReturnNoMemory;
    *iterator = made;
    return kIOReturnSuccess;
}

std::vector<sysfs::Location> related(const sysfs::Location& at, bool below) {
    if (below) return sysfs::children(at);
    std::optional<sysfs::Location> up = sysfs::parent(at);
    return up ? std::vector{*up} : std::vector<sysfs::Location>{};
}

kern_return_t relatedIterator(io_registry_entry_t entry, const char* plane, bool below,
                              io_iterator_t* iterator) {
    if (!iterator) return kIOReturnBadArgument;
    auto at = entryOf(entry);
    if (!at || !knownPlane(plane)) return kIOReturnBadArgument;
    try {
        return iterate(related(at->location, below), iterator);
    } catch (const std::bad_alloc&) {
        return kIOReturnNoMemory;
    }
}

kern_return_t relatedEntry(io_registry_entry_t entry, const char* plane, bool below,
                           io_registry_entry_t* result) {
    if (!result) return kIOReturnBadArgument;
    auto at = entryOf(entry);
    if (!at || !knownPlane(plane)) return kIOReturnBadArgument;
    try {
        std::vector<sysfs::Location> found = related(at->location, below);
        if (found.empty()) return kIOReturnNoDevice;
        io_registry_entry_t made = name<RegistryEntry>(found.front());
        if (!made) return kIOReturnNoMemory;
        *result = made;
        return kIOReturnSuccess;
    } catch (const std::bad_alloc&) {
        return kIOReturnNoMemory;
    }
}

// The string value of a key in a dictionary, as UTF-8.
std::optional<std::string> stringValue(CFDictionaryRef dict, const char* key) {
    CFStringRef cfKey = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    const void* value = nullptr;
    bool present = CFDictionaryGetValueIfPresent(dict, cfKey, &value);
    CFRelease(cfKey);
    if (!present) return std::nullopt;
    return _CFStringCopyUTF8String(static_cast<CFStringRef>(value)).value_or(std::string(1, '\0'));
}

bool conforms(const sysfs::Location& at, const std::string& cls) {
    return cls == "IOService" || cls == "IORegistryEntry" || sysfs::className(at) == cls;
}

// Does the entry have every property of the dictionary but the provider class?
bool propertiesMatch(const sysfs::Location& at, CFDictionaryRef matching) {
    CFIndex count = CFDictionaryGetCount(matching);
    std::vector<const void*> keys(count), values(count);
    CFDictionaryGetKeysAndValues(matching, keys.data(), values.data());
    CFMutableDictionaryRef properties = nullptr;
    bool all = true;
    for (CFIndex i = 0; i < count && all; ++i) {
        if (CFEqual(keys[i], CFSTR(kIOProviderClassKey))) continue;
        if (!properties) properties = sysfs::createProperties(at);
        all = properties && CFEqual(CFDictionaryGetValue(properties, keys[i]), values[i]);
    }
    if (properties) CFRelease(properties);
    return all;
}

std::vector<sysfs::Location> matches(CFDictionaryRef matching) {
    std::optional<std::string> cls = stringValue(matching, kIOProviderClassKey);
    std::vector<sysfs::Location> candidates;
    if (std::optional<std::string> bsdName = stringValue(matching, kIOBSDNameKey)) {
        // Only block devices have BSD names: look the one up instead of walking the tree.
        if (auto device = sysfs::blockDevice(*bsdName)) candidates.push_back(*device);
    } else if (auto root = sysfs::rootLocation()) {
        candidates = sysfs::allEntries(*root);
    }
    std::vector<sysfs::Location> found;
    for (const auto& at : candidates) {
        if ((!cls || conforms(at, *cls)) && propertiesMatch(at, matching)) found.push_back(at);
    }
    return found;
}

CFMutableDictionaryRef matchingDictionary() {
    return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

} // namespace

kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* masterPort) {
    if (!masterPort || bootstrapPort != MACH_PORT_NULL) return kIOReturnBadArgument;
    if (!sysfs::rootLocation()) return kIOReturnNoDevice;
    mach_port_t made = name<MasterPort>();
    if (!made) return kIOReturnNoMemory;
    *masterPort = made;
    return kIOReturnSuccess;
}

kern_return_t IOObjectRelease(io_object_t object) {
    if (!mach::lookup<RegistryEntry>(object) && !mach::lookup<Iterator>(object) &&
        !mach::lookup<MasterPort>(object))
        return kIOReturnBadArgument;
    return mach::addReferences(object, -1);
}

kern_return_t IOObjectRetain(io_object_t object) {
    if (!mach::lookup<RegistryEntry>(object) && !mach::lookup<Iterator>(object))
        return kIOReturnBadArgument;
    return mach::addReferences(object, 1);
}

kern_return_t IOObjectGetClass(io_object_t object, io_name_t className) {
    if (!className) return kIOReturnBadArgument;
    if (auto entry = entryOf(object)) {
        copyName(sysfs::className(entry->location), className, sizeof(io_name_t));
        return kIOReturnSuccess;
    }
    if (mach::lookup<Iterator>(object)) {
        copyName("IOIterator", className, sizeof(io_name_t));
        return kIOReturnSuccess;
    }
    return kIOReturnBadArgument;
}

boolean_t IOObjectConformsTo(io_object_t object, const io_name_t className) {
    auto entry = entryOf(object);
    return entry && className && conforms(entry->location, className);
}

boolean_t IOObjectIsEqualTo(io_object_t object, io_object_t anObject) {
    if (object == anObject) return mach::lookupName(object) != nullptr;
    auto a = entryOf(object);
    auto b = entryOf(anObject);
    return a && b && a->location == b->location;
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
    auto it = mach::lookup<Iterator>(iterator);
    if (!it) return IO_OBJECT_NULL;
    std::optional<sysfs::Location> next = it->next();
    return next ? name<RegistryEntry>(*next) : IO_OBJECT_NULL;
}

void IOIteratorReset(io_iterator_t iterator) {
    if (auto it = mach::lookup<Iterator>(iterator)) it->reset();
}

boolean_t IOIteratorIsValid(io_iterator_t iterator) {
    return mach::lookup<Iterator>(iterator) != nullptr;
}

io_registry_entry_t IORegistryGetRootEntry(mach_port_t masterPort) {
    if (!validMaster(masterPort)) return IO_OBJECT_NULL;
    std::optional<sysfs::Location> root = sysfs::rootLocation();
    return root ? name<RegistryEntry>(*root) : IO_OBJECT_NULL;
}

kern_return_t IORegistryEntryGetName(io_registry_entry_t entry, io_name_t name) {
    auto at = entryOf(entry);
    if (!at || !name) return kIOReturnBadArgument;
    copyName(sysfs::name(at->location), name, sizeof(io_name_t));
    return kIOReturnSuccess;
}

kern_return_t IORegistryEntryGetNameInPlane(io_registry_entry_t entry, const io_name_t plane,
                                            io_name_t name) {
    if (plane && !knownPlane(plane)) return kIOReturnBadArgument;
    return IORegistryEntryGetName(entry, name);
}

kern_return_t IORegistryEntryGetPath(io_registry_entry_t entry, const io_name_t plane,
                                     io_string_t path) {
    auto at = entryOf(entry);
    if (!at || !path || !knownPlane(plane)) return kIOReturnBadArgument;
    std::string text = std::string(kIOServicePlane) + ":/" + at->location.relative;
    if (text.size() >= sizeof(io_string_t)) return kIOReturnNoResources;
    copyName(text, path, sizeof(io_string_t));
    return kIOReturnSuccess;
}

kern_return_t IORegistryEntryGetChildIterator(io_registry_entry_t entry, const io_name_t plane,
                                              io_iterator_t* iterator) {
    return relatedIterator(entry, plane, true, iterator);
}

kern_return_t IORegistryEntryGetChildEntry(io_registry_entry_t entry, const io_name_t plane,
                                           io_registry_entry_t* child) {
    return relatedEntry(entry, plane, true, child);
}

kern_return_t IORegistryEntryGetParentIterator(io_registry_entry_t entry, const io_name_t plane,
                                               io_iterator_t* iterator) {
    return relatedIterator(entry, plane, false, iterator);
}

kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const io_name_t plane,
                                            io_registry_entry_t* parent) {
    return relatedEntry(entry, plane, false, parent);
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry,
                                                CFMutableDictionaryRef* properties, CFAllocatorRef,
                                                IOOptionBits) {
    auto at = entryOf(entry);
    if (!at || !properties) return kIOReturnBadArgument;
    CFMutableDictionaryRef made = sysfs::createProperties(at->location);
    if (!made) return kIOReturnNoMemory;
    *properties = made;
    return kIOReturnSuccess;
}

CFTypeRef IORegistryEntryCreateCFProperty(io_registry_entry_t entry, CFStringRef key,
                                          CFAllocatorRef allocator, IOOptionBits options) {
    CFMutableDictionaryRef properties = nullptr;
    if (!key || IORegistryEntryCreateCFProperties(entry, &properties, allocator, options) != 0)
        return nullptr;
    CFTypeRef value = CFRetain(CFDictionaryGetValue(properties, key));
    CFRelease(properties);
    return value;
}

CFMutableDictionaryRef IOServiceMatching(const char* name) {
    if (!name) return nullptr;
    CFStringRef cls = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
    if (!cls) return nullptr;
    CFMutableDictionaryRef dict = matchingDictionary();
    CFDictionarySetValue(dict, CFSTR(kIOProviderClassKey), cls);
    CFRelease(cls);
    return dict;
}

CFMutableDictionaryRef IOBSDNameMatching(mach_port_t masterPort, uint32_t, const char* bsdName) {
    if (!bsdName || !validMaster(masterPort)) return nullptr;
    CFStringRef name = CFStringCreateWithCString(nullptr, bsdName, kCFStringEncodingUTF8);
    if (!name) return nullptr;
    CFMutableDictionaryRef dict = IOServiceMatching(kIOMediaClass);
    CFDictionarySetValue(dict, CFSTR(kIOBSDNameKey), name);
    CFRelease(name);
    return dict;
}

kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching,
                                           io_iterator_t* existing) {
    // The dictionary is ours from here on, whatever happens.
    struct Consumed {
        CFDictionaryRef dict;
        ~Consumed() {
            if (dict) CFRelease(dict);
        }
    } consumed{matching};
    if (!existing || !matching || CFGetTypeID(matching) != CFDictionaryGetTypeID() ||
        !validMaster(masterPort))
        return kIOReturnBadArgument;
    try {
        return iterate(matches(matching), existing);
    } catch (const std::bad_alloc&) {
        return kIOReturnNoMemory;
    }
}

io_service_t IOServiceGetMatchingService(mach_port_t masterPort, CFDictionaryRef matching) {
    io_iterator_t iterator = IO_OBJECT_NULL;
    if (IOServiceGetMatchingServices(masterPort, matching, &iterator) != kIOReturnSuccess)
        return IO_OBJECT_NULL;
    io_service_t first = IOIteratorNext(iterator);
    IOObjectRelease(iterator);
    return first;
}
