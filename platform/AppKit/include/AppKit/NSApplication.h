// The application and its main loop.
#pragma once

#ifdef __cplusplus
#define APPKIT_EXTERN extern "C" __attribute__((visibility("default")))
#else
#define APPKIT_EXTERN extern __attribute__((visibility("default")))
#endif

// Runs the application on the calling thread (the process's main thread, before it starts
// others) and returns only when the application ends.
//
// It takes the main bundle (Foundation's NSBundleGetMainBundle) with its Info.plist, then
// waits, without using the processor, until the application is asked to quit: by SIGTERM,
// by SIGINT, or by NSApplicationTerminate. SIGTERM and SIGINT are blocked on the calling
// thread while the loop runs and received through a signalfd; the mask is put back before
// the function returns.
//
// Returns (the process's exit status when main returns it):
//   0  the application quit as asked (SIGTERM, SIGINT or NSApplicationTerminate);
//   1  the application could not start: its bundle's Info.plist exists but cannot be read
//      (one line on standard error says why), or the loop's descriptors cannot be made.
//
// argc and argv are the process's command line, unchanged; they are not altered.
APPKIT_EXTERN int NSApplicationMain(int argc, const char* argv[]);

// Asks the running application to quit; NSApplicationMain then returns 0. Safe from any
// thread and from a signal handler. A request made before the main loop starts ends it as
// soon as it starts.
APPKIT_EXTERN void NSApplicationTerminate(void);
