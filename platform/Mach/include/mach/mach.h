// The task's port names: the calling task's own port and the reference counts of names.
//
// Every name but the task's own carries a count of user references; the name dies when its
// count reaches 0, and a dead or never-issued name gives KERN_INVALID_NAME. Frameworks give
// their objects names through <mach/port_names.h>.
#pragma once
#include <mach/kern_return.h>
#include <mach/port.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef mach_port_t task_t;
typedef mach_port_t ipc_space_t;

// The calling task's own port; it is never deallocated.
mach_port_t mach_task_self(void);

// Drops one user reference of name. MACH_PORT_NULL and MACH_PORT_DEAD are accepted and
// ignored. KERN_INVALID_TASK for a task other than mach_task_self().
kern_return_t mach_port_deallocate(ipc_space_t task, mach_port_name_t name);
// Adds delta (which may be negative) to the user references of name's send right.
// KERN_INVALID_VALUE when the count would go below 0; KERN_INVALID_RIGHT for another right.
kern_return_t mach_port_mod_refs(ipc_space_t task, mach_port_name_t name, mach_port_right_t right,
                                 mach_port_delta_t delta);
// The user references of name's send right.
kern_return_t mach_port_get_refs(ipc_space_t task, mach_port_name_t name, mach_port_right_t right,
                                 mach_port_urefs_t* refs);

#ifdef __cplusplus
}
#endif
