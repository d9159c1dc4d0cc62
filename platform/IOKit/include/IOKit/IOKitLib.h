// The device registry: a tree of entries (the machine's devices) in the "IOService" plane,
// their names and properties, iterators over them, and matching by property.
//
// Every object handed out (master port, entry, iterator) is a port name of the calling task
// with one user reference, which the caller gives back with IOObjectRelease (or, for the master
// port, mach_port_deallocate). Each call that returns an entry returns a new name for it.
// A stale or never-issued name gives a failure status, 0 or FALSE, never a crash.
//
// Entries stand for device directories under the system's device tree (see IOKitSysfs.h):
// the root entry "Root" is the tree's top, an entry's children are the devices directly below
// it, its parent the device above. Block devices are of class "IOMedia" and carry their BSD
// name.
#pragma once
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitKeys.h>
#include <IOKit/IOTypes.h>

#ifdef __cplusplus
extern "C" {
#endif

// Accepted wherever a master port is asked for.
#define kIOMasterPortDefault MACH_PORT_NULL

// A master port. bootstrapPort must be MACH_PORT_NULL. kIOReturnNoDevice when the system's
// device tree cannot be read.
kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* masterPort);

// Objects.
kern_return_t IOObjectRelease(io_object_t object);
kern_return_t IOObjectRetain(io_object_t object);
// The class name of an entry ("IOMedia", "IOPCIDevice", "IOService"...) or iterator.
kern_return_t IOObjectGetClass(io_object_t object, io_name_t className);
// TRUE when the object is of the class or a subclass of it (every entry is an "IOService").
boolean_t IOObjectConformsTo(io_object_t object, const io_name_t className);
// TRUE when both names stand for the same registry entry.
boolean_t IOObjectIsEqualTo(io_object_t object, io_object_t anObject);

// Iterators: IOIteratorNext gives the next object (a new name) or 0 at the end.
io_object_t IOIteratorNext(io_iterator_t iterator);
void IOIteratorReset(io_iterator_t iterator);
// TRUE while the iterator is usable; FALSE for a name that is no iterator.
boolean_t IOIteratorIsValid(io_iterator_t iterator);

// The registry tree. Plane names the registry lacks give kIOReturnBadArgument and no object;
// an entry without a child or parent there gives kIOReturnNoDevice.
io_registry_entry_t IORegistryGetRootEntry(mach_port_t masterPort);
kern_return_t IORegistryEntryGetName(io_registry_entry_t entry, io_name_t name);
kern_return_t IORegistryEntryGetNameInPlane(io_registry_entry_t entry, const io_name_t plane,
                                            io_name_t name);
// "IOService:/a/b": the plane and the names from the root down.
kern_return_t IORegistryEntryGetPath(io_registry_entry_t entry, const io_name_t plane,
                                     io_string_t path);
kern_return_t IORegistryEntryGetChildIterator(io_registry_entry_t entry, const io_name_t plane,
                                              io_iterator_t* iterator);
kern_return_t IORegistryEntryGetChildEntry(io_registry_entry_t entry, const io_name_t plane,
                                           io_registry_entry_t* child);
kern_return_t IORegistryEntryGetParentIterator(io_registry_entry_t entry, const io_name_t plane,
                                               io_iterator_t* iterator);
kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const io_name_t plane,
                                            io_registry_entry_t* parent);

// Properties: a new mutable dictionary of every property (the caller releases it), or one
// new value (NULL when absent).
kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry,
                                                CFMutableDictionaryRef* properties,
                                                CFAllocatorRef allocator, IOOptionBits options);
CFTypeRef IORegistryEntryCreateCFProperty(io_registry_entry_t entry, CFStringRef key,
                                          CFAllocatorRef allocator, IOOptionBits options);

// Matching dictionaries (new, for the caller or for a matching call to consume).
// Entries of a class: { "IOProviderClass": name }.
CFMutableDictionaryRef IOServiceMatching(const char* name);
// The block device of a BSD name: { "IOProviderClass": "IOMedia", "BSD Name": bsdName }.
// NULL for a NULL name or one that is not valid UTF-8.
CFMutableDictionaryRef IOBSDNameMatching(mach_port_t masterPort, uint32_t options,
                                         const char* bsdName);
// The entries whose class conforms to "IOProviderClass" (when given) and whose properties
// equal every other key of the dictionary. Consumes one reference of matching, whatever
// the outcome: the caller must not release it afterwards. No match is success with an
// iterator that gives nothing.
kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching,
                                           io_iterator_t* existing);
// The first matching entry, or 0; consumes matching like IOServiceGetMatchingServices.
io_service_t IOServiceGetMatchingService(mach_port_t masterPort, CFDictionaryRef matching);

#ifdef __cplusplus
}
#endif
