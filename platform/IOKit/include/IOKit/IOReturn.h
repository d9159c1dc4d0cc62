// Status codes of the IOKit calls (0 is success).
#pragma once
#include <mach/kern_return.h>

typedef kern_return_t IOReturn;

#define kIOReturnSuccess KERN_SUCCESS
#define kIOReturnError ((IOReturn)0xe00002bc)
#define kIOReturnNoMemory ((IOReturn)0xe00002bd)
#define kIOReturnNoResources ((IOReturn)0xe00002be)
#define kIOReturnBadArgument ((IOReturn)0xe00002c2)
#define kIOReturnNoDevice ((IOReturn)0xe00002c0)
#define kIOReturnUnsupported ((IOReturn)0xe00002c7)
#define kIOReturnNotFound ((IOReturn)0xe00002f0)
#define kIOReturnNotReady ((IOReturn)0xe00002d8)
