// The types of IOKit objects: every object is a port name of the calling task.
#pragma once
#include <IOKit/IOReturn.h>
#include <mach/port.h>

typedef uint32_t IOOptionBits;

typedef mach_port_t io_object_t;
typedef io_object_t io_registry_entry_t;
typedef io_object_t io_service_t;
typedef io_object_t io_iterator_t;
typedef io_object_t io_connect_t;

// A registry entry or class name with its terminating NUL.
typedef char io_name_t[128];
// A registry path with its terminating NUL.
typedef char io_string_t[512];

#define IO_OBJECT_NULL ((io_object_t)0)
