#include <AppKit/NSApplication.h>

#include <Foundation/Foundation.h>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// Quit requests count up on this descriptor. It is made when the library loads so that
// NSApplicationTerminate only ever writes to it, which is safe anywhere, signal handlers too.
int terminateRequests = -1;

__attribute__((constructor)) void makeTerminateRequests() {
    terminateRequests = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

const char* applicationName(const NSBundle* bundle) {
    for (const char* key : {"CFBundleName", "CFBundleExecutable"})
        if (const char* name = NSBundleGetInfoString(bundle, key)) return name;
    const char* executable = NSBundleGetExecutablePath(bundle);
    const char* slash = std::strrchr(executable, '/');
    return slash == nullptr ? executable : slash + 1;
}

// Reads every queued quit signal, so that none is left pending when the mask is put back.
void drainSignals(int signals) {
    signalfd_siginfo info;
    while (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
}

// Waits for a quit request; returns the exit status.
int runMainLoop() {
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGTERM);
    sigaddset(&quitSignals, SIGINT);
    sigset_t previousMask;
    if (terminateRequests < 0 || pthread_sigmask(SIG_BLOCK, &quitSignals, &previousMask) != 0)
        return 1;
    int signals = signalfd(-1, &quitSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals < 0) {
        pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
        return 1;
    }

    QuintaverTrace("loop");
    int status = -1;
    while (status < 0) {
        pollfd watched[] = {{signals, POLLIN, 0}, {terminateRequests, POLLIN, 0}};
        if (ppoll(watched, 2, nullptr, nullptr) < 0) {
            if (errno == EINTR) continue;
            status = 1;
            break;
        }
        signalfd_siginfo info;
        if ((watched[0].revents & POLLIN) &&
            read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            QuintaverTrace("quit SIG%s", sigabbrev_np(static_cast<int>(info.ssi_signo)));
            status = 0;
        }
        uint64_t requests = 0;
        if ((watched[1].revents & POLLIN) &&
            read(terminateRequests, &requests, sizeof requests) == sizeof requests && status < 0) {
            QuintaverTrace("quit terminate");
            status = 0;
        }
    }

    drainSignals(signals);
    close(signals);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return status;
}

} // namespace

APPKIT_EXTERN int NSApplicationMain(int argc, const char* argv[]) {
    (void)argv;
    QuintaverTrace("NSApplicationMain argc %d", argc);

    const NSBundle* bundle = NSBundleGetMainBundle();
    if (const char* error = NSBundleGetInfoError(bundle)) {
        std::fprintf(stderr, "%s\n", error);
        QuintaverTrace("return 1");
        return 1;
    }
    QuintaverTrace("bundle %s", NSBundleGetBundlePath(bundle));
    QuintaverTrace("name %s", applicationName(bundle));
    if (const char* identifier = NSBundleGetInfoString(bundle, "CFBundleIdentifier"))
        QuintaverTrace("identifier %s", identifier);

    int status = runMainLoop();
    QuintaverTrace("return %d", status);
    return status;
}

APPKIT_EXTERN void NSApplicationTerminate(void) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(terminateRequests, &one, sizeof one);
}
