// Mach-port objects: a port name wrapped so that its messages reach a callback through a run
// loop. The object does not own the port name; invalidating it (or the connection behind the
// port closing) stops its callbacks and takes its source out of every run loop.
#pragma once
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFRunLoop.h>
#include <mach/port.h>

CF_EXTERN_C_BEGIN

typedef struct __CFMachPort* CFMachPortRef;

typedef struct {
    CFIndex version; // 0
    void* info;
    const void* (*retain)(const void* info);
    void (*release)(const void* info);
    CFStringRef (*copyDescription)(const void* info);
} CFMachPortContext;

// Called on the run loop's thread for each message received on the port: msg points to the
// message (header first), size is its length in bytes. msg is valid during the call only.
typedef void (*CFMachPortCallBack)(CFMachPortRef port, void* msg, CFIndex size, void* info);
typedef void (*CFMachPortInvalidationCallBack)(CFMachPortRef port, void* info);

CFTypeID CFMachPortGetTypeID(void);

// A port object for portNum. context (may be NULL) is copied; its retain is called on info.
// *shouldFreeInfo (may be NULL) is set to true when no object was made.
CFMachPortRef CFMachPortCreateWithPort(CFAllocatorRef allocator, mach_port_t portNum,
                                       CFMachPortCallBack callout, CFMachPortContext* context,
                                       Boolean* shouldFreeInfo);
mach_port_t CFMachPortGetPort(CFMachPortRef port);
void CFMachPortGetContext(CFMachPortRef port, CFMachPortContext* context);
void CFMachPortInvalidate(CFMachPortRef port);
Boolean CFMachPortIsValid(CFMachPortRef port);
void CFMachPortSetInvalidationCallBack(CFMachPortRef port, CFMachPortInvalidationCallBack callout);

// A new source that delivers the port's messages to its callback. order is kept for
// CFRunLoopSourceGetOrder.
CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef allocator, CFMachPortRef port,
                                                 CFIndex order);

CF_EXTERN_C_END
