// The task's port-name table.
#include <mach/port_names.h>

#include <mutex>
#include <unordered_map>

namespace mach {
namespace {

constexpr mach_port_urefs_t maxReferences = 65534;

struct Entry {
    std::shared_ptr<PortObject> object;
    mach_port_urefs_t references;
    bool permanent;
};

// The calling task's own port: one per process, never deallocated.
class TaskPort final : public PortObject {};

struct Table {
    std::mutex mutex;
    std::unordered_map<mach_port_name_t, Entry> entries;
    mach_port_name_t next = 0x103;
    mach_port_name_t taskSelf = MACH_PORT_NULL;

    // Called with the lock held.
    mach_port_name_t add(std::shared_ptr<PortObject> object, bool permanent) {
        for (size_t tries = 0; tries < entries.size() + 2; ++tries) {
            // Odd names only: CoreFoundation's native handles are even, so neither kind is
            // ever mistaken for the other.
            mach_port_name_t name = next;
            next += 2;
            if (!MACH_PORT_VALID(name) || entries.contains(name)) continue;
            entries.emplace(name, Entry{std::move(object), 1, permanent});
            return name;
        }
        return MACH_PORT_NULL;
    }
};

Table& table() {
    static Table* names = [] {
        auto* t = new Table; // never destroyed: names may be dropped during exit
        t->taskSelf = t->add(std::make_shared<TaskPort>(), true);
        return t;
    }();
    return *names;
}

} // namespace

mach_port_name_t insertName(std::shared_ptr<PortObject> object) {
    if (!object) return MACH_PORT_NULL;
    Table& names = table();
    std::lock_guard lock(names.mutex);
    try {
        return names.add(std::move(object), false);
    } catch (const std::bad_alloc&) {
        return MACH_PORT_NULL;
    }
}

std::shared_ptr<PortObject> lookupName(mach_port_name_t name) {
    if (!MACH_PORT_VALID(name)) return nullptr;
    Table& names = table();
    std::lock_guard lock(names.mutex);
    auto it = names.entries.find(name);
    return it == names.entries.end() ? nullptr : it->second.object;
}

kern_return_t addReferences(mach_port_name_t name, mach_port_delta_t delta) {
    std::shared_ptr<PortObject> dropped; // destroyed after the lock is released
    Table& names = table();
    std::lock_guard lock(names.mutex);
    auto it = names.entries.find(name);
    if (it == names.entries.end()) return KERN_INVALID_NAME;
    Entry& entry = it->second;
    if (entry.permanent) return KERN_SUCCESS;
    int64_t count = int64_t{entry.references} + delta;
    if (count < 0) return KERN_INVALID_VALUE;
    if (count > maxReferences) return KERN_UREFS_OVERFLOW;
    entry.references = static_cast<mach_port_urefs_t>(count);
    if (count == 0) {
        dropped = std::move(entry.object);
        names.entries.erase(it);
    }
    return KERN_SUCCESS;
}

mach_port_urefs_t referenceCount(mach_port_name_t name) {
    Table& names = table();
    std::lock_guard lock(names.mutex);
    auto it = names.entries.find(name);
    return it == names.entries.end() ? 0 : it->second.references;
}

} // namespace mach

mach_port_t mach_task_self() {
    return mach::table().taskSelf;
}

kern_return_t mach_port_mod_refs(ipc_space_t task, mach_port_name_t name, mach_port_right_t right,
                                 mach_port_delta_t delta) {
    if (task != mach_task_self()) return KERN_INVALID_TASK;
    if (right != MACH_PORT_RIGHT_SEND) return KERN_INVALID_RIGHT;
    return mach::addReferences(name, delta);
}

kern_return_t mach_port_deallocate(ipc_space_t task, mach_port_name_t name) {
    if (task != mach_task_self()) return KERN_INVALID_TASK;
    if (!MACH_PORT_VALID(name)) return KERN_SUCCESS;
    return mach::addReferences(name, -1);
}

kern_return_t mach_port_get_refs(ipc_space_t task, mach_port_name_t name, mach_port_right_t right,
                                 mach_port_urefs_t* refs) {
    if (task != mach_task_self()) return KERN_INVALID_TASK;
    if (!refs) return KERN_INVALID_ARGUMENT;
    if (right != MACH_PORT_RIGHT_SEND) return KERN_INVALID_RIGHT;
    if (!mach::lookupName(name)) return KERN_INVALID_NAME;
    *refs = mach::referenceCount(name);
    return KERN_SUCCESS;
}
