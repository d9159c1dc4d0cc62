// Port names: 32-bit names, local to the process, for objects held with reference counts.
#pragma once
#include <mach/boolean.h>
#include <stdint.h>

typedef uint32_t natural_t;
typedef int32_t integer_t;
typedef natural_t mach_port_name_t;
typedef mach_port_name_t mach_port_t;
typedef natural_t mach_port_right_t;
typedef natural_t mach_port_urefs_t;
typedef integer_t mach_port_delta_t;

#define MACH_PORT_NULL ((mach_port_t)0)
#define MACH_PORT_DEAD ((mach_port_t)~0u)
#define MACH_PORT_VALID(name) ((name) != MACH_PORT_NULL && (name) != MACH_PORT_DEAD)

#define MACH_PORT_RIGHT_SEND ((mach_port_right_t)0)
#define MACH_PORT_RIGHT_RECEIVE ((mach_port_right_t)1)
#define MACH_PORT_RIGHT_SEND_ONCE ((mach_port_right_t)2)
#define MACH_PORT_RIGHT_PORT_SET ((mach_port_right_t)3)
#define MACH_PORT_RIGHT_DEAD_NAME ((mach_port_right_t)4)
