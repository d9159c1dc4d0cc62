// Run loops: one per thread, made on first use. A run loop waits (in epoll, without polling)
// until one of its sources in the running mode is ready, then calls that source's callback
// on the loop's own thread, one source at a time.
//
// Sources come from the objects that make them: CFMachPortCreateRunLoopSource (a message on
// the port), CFFileDescriptorCreateRunLoopSource (a readable or writable descriptor). The run
// loop keeps a reference to each source added to it; a source that becomes invalid (its port's
// connection closed, CFRunLoopSourceInvalidate) leaves every run loop.
#pragma once
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopSource* CFRunLoopSourceRef;
typedef double CFTimeInterval;
typedef CFStringRef CFRunLoopMode;

CF_EXPORT const CFStringRef kCFRunLoopDefaultMode;
// Sources added in the common modes are watched in the default mode.
CF_EXPORT const CFStringRef kCFRunLoopCommonModes;

// Results of CFRunLoopRunInMode.
enum {
    kCFRunLoopRunFinished = 1,      // the mode has no source (left)
    kCFRunLoopRunStopped = 2,       // CFRunLoopStop
    kCFRunLoopRunTimedOut = 3,      // the time was up
    kCFRunLoopRunHandledSource = 4, // one source was handled, as asked
};

CFTypeID CFRunLoopGetTypeID(void);
CFTypeID CFRunLoopSourceGetTypeID(void);

// The calling thread's run loop (not retained: it lives as long as its thread).
CFRunLoopRef CFRunLoopGetCurrent(void);

// Runs the current thread's run loop in the default mode until it is stopped or has no
// source left.
void CFRunLoopRun(void);
// Runs it in mode for at most seconds (a very large value: no limit); with
// returnAfterSourceHandled it returns once one source has been handled.
SInt32 CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds,
                          Boolean returnAfterSourceHandled);

// Makes the run of rl return: the one that runs now, or else the next one. Callable from any
// thread and from a signal handler (it only sets a flag and writes to a wake-up descriptor).
void CFRunLoopStop(CFRunLoopRef rl);
void CFRunLoopWakeUp(CFRunLoopRef rl);
// Whether rl is inside CFRunLoopRun or CFRunLoopRunInMode now.
Boolean CFRunLoopIsWaiting(CFRunLoopRef rl);

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
Boolean CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);

// An invalid source is never called again and leaves every run loop.
void CFRunLoopSourceInvalidate(CFRunLoopSourceRef source);
Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef source);
CFIndex CFRunLoopSourceGetOrder(CFRunLoopSourceRef source);

CF_EXTERN_C_END
