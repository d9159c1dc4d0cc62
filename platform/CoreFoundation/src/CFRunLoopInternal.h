// The run loop's side of a source: the objects that make sources (Mach ports, descriptors)
// hand it a descriptor to wait on and a perform callback to run when it is ready.
#pragma once
#include <CoreFoundation/CFRunLoop.h>
#include <cstdint>

// A new source that waits for `events` (epoll bits) on fd and then calls perform(owner, the
// events seen) on the run loop's thread. The source keeps a reference to owner.
CFRunLoopSourceRef _CFRunLoopSourceCreateWithDescriptor(CFTypeRef owner, int fd, uint32_t events,
                                                        void (*perform)(CFTypeRef owner,
                                                                        uint32_t events),
                                                        CFIndex order);
// Changes what the source waits for; 0 stops the waiting until events are set again.
void _CFRunLoopSourceSetEvents(CFRunLoopSourceRef source, uint32_t events);
