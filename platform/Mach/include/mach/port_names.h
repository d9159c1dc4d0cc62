// The task's table of port names, for frameworks that name their objects with ports (IOKit
// objects, Mach messaging ports...). C++ only.
//
// A name stands for one object, shared: lookups hand out a std::shared_ptr, so an object that
// a call is using stays alive even if another thread drops the name meanwhile. The name
// holds user references (mach_port_deallocate, mach_port_mod_refs); when they reach 0 the
// name dies (later lookups give nullptr) and the table drops its share of the object.
//
// Names are odd (CoreFoundation's native handles are even), never reissued while alive, and a
// dead name is reissued only after the 32-bit name counter wraps.
#pragma once
#include <mach/mach.h>

#include <memory>

namespace mach {

// What a port name stands for. Frameworks derive their objects from it.
class PortObject {
  public:
    virtual ~PortObject() = default;
};

// A new name for the object, with one user reference; MACH_PORT_NULL when none is left or
// object is null.
mach_port_name_t insertName(std::shared_ptr<PortObject> object);

// The object of a live name; nullptr for MACH_PORT_NULL, a dead or a never-issued name.
std::shared_ptr<PortObject> lookupName(mach_port_name_t name);

// The object of a live name if it is a T; nullptr otherwise.
template <class T> std::shared_ptr<T> lookup(mach_port_name_t name) {
    return std::dynamic_pointer_cast<T>(lookupName(name));
}

// Adds delta to the name's user references (the name dies at 0).
// KERN_INVALID_NAME for a name that is not alive, KERN_INVALID_VALUE when the count would go
// below 0, KERN_UREFS_OVERFLOW past 65534 references.
kern_return_t addReferences(mach_port_name_t name, mach_port_delta_t delta);

// The name's user references; 0 for a name that is not alive.
mach_port_urefs_t referenceCount(mach_port_name_t name);

} // namespace mach
