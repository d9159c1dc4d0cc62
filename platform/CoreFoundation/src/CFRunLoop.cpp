// Run loops on epoll: one epoll set per mode of each run loop, holding the descriptors of that
// mode's sources and the loop's wake-up eventfd. Waiting is epoll_wait and nothing else.
#include "CFInternal.h"
#include "CFRunLoopInternal.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

const CFStringRef kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");
const CFStringRef kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");

namespace {

// One lock for every run loop and source: adding and removing are rare, and a single lock
// cannot be taken in the wrong order. It is never held while a source performs.
std::mutex& lock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

constexpr uint64_t kWakeTag = 0;

} // namespace

struct __CFRunLoopSource;

struct __CFRunLoopMode {
    CFStringRef name = nullptr;
    int epoll = -1;
    std::map<uint64_t, __CFRunLoopSource*> sources; // tag -> source (retained)
};

struct __CFRunLoop {
    CFRuntimeBase base;
    int wake = -1;
    std::atomic<bool> stopRequested{false};
    std::atomic<int> running{0};
    uint64_t nextTag = 1;
    std::vector<__CFRunLoopMode> modes;
    ~__CFRunLoop();
};

struct __CFRunLoopSource {
    CFRuntimeBase base;
    CFTypeRef owner = nullptr;
    int fd = -1;
    uint32_t events = 0;
    void (*perform)(CFTypeRef, uint32_t) = nullptr;
    CFIndex order = 0;
    std::atomic<bool> valid{true};
    struct Membership {
        __CFRunLoop* loop;
        size_t mode;
        uint64_t tag;
    };
    std::vector<Membership> memberships; // not retained: a loop leaves them when it dies
    ~__CFRunLoopSource() {
        if (owner) CFRelease(owner);
    }
};

namespace {

void runLoopFinalize(CFTypeRef cf);
const CFRuntimeClass runLoopClass = {"CFRunLoop", runLoopFinalize, nullptr, nullptr, nullptr};
const CFRuntimeClass sourceClass = {"CFRunLoopSource", _CFRuntimeDestroy<__CFRunLoopSource>,
                                    nullptr, nullptr, nullptr};

bool sameMode(CFStringRef a, CFStringRef b) {
    auto normal = [](CFStringRef m) {
        return (!m || CFEqual(m, kCFRunLoopCommonModes)) ? kCFRunLoopDefaultMode : m;
    };
    return CFEqual(normal(a), normal(b));
}

// The index of the mode (made when create is set); -1 when it does not exist or cannot be made.
long findMode(__CFRunLoop* rl, CFStringRef name, bool create) {
    for (size_t i = 0; i < rl->modes.size(); ++i)
        if (sameMode(rl->modes[i].name, name)) return static_cast<long>(i);
    if (!create) return -1;
    __CFRunLoopMode mode;
    mode.epoll = epoll_create1(EPOLL_CLOEXEC);
    if (mode.epoll < 0) return -1;
    epoll_event wake = {};
    wake.events = EPOLLIN;
    wake.data.u64 = kWakeTag;
    epoll_ctl(mode.epoll, EPOLL_CTL_ADD, rl->wake, &wake);
    bool common = !name || CFEqual(name, kCFRunLoopCommonModes);
    mode.name = static_cast<CFStringRef>(CFRetain(common ? kCFRunLoopDefaultMode : name));
    rl->modes.push_back(std::move(mode));
    return static_cast<long>(rl->modes.size() - 1);
}

void watch(__CFRunLoop* rl, size_t mode, uint64_t tag, __CFRunLoopSource* source, int op) {
    if (source->events == 0) {
        if (op != EPOLL_CTL_ADD)
            epoll_ctl(rl->modes[mode].epoll, EPOLL_CTL_DEL, source->fd, nullptr);
        return;
    }
    epoll_event event = {};
    event.events = source->events;
    event.data.u64 = tag;
    if (epoll_ctl(rl->modes[mode].epoll, op, source->fd, &event) != 0 && op == EPOLL_CTL_MOD)
        epoll_ctl(rl->modes[mode].epoll, EPOLL_CTL_ADD, source->fd, &event);
}

// Takes the source out of one mode of one loop; the caller holds the lock and releases the
// returned source after unlocking.
__CFRunLoopSource* detach(__CFRunLoop* rl, size_t mode, uint64_t tag) {
    auto& sources = rl->modes[mode].sources;
    auto it = sources.find(tag);
    if (it == sources.end()) return nullptr;
    __CFRunLoopSource* source = it->second;
    sources.erase(it);
    epoll_ctl(rl->modes[mode].epoll, EPOLL_CTL_DEL, source->fd, nullptr);
    std::erase_if(source->memberships,
                  [&](const auto& m) { return m.loop == rl && m.mode == mode && m.tag == tag; });
    return source;
}

void runLoopFinalize(CFTypeRef cf) {
    auto* rl = static_cast<__CFRunLoop*>(const_cast<void*>(cf));
    std::vector<__CFRunLoopSource*> released;
    {
        std::lock_guard guard(lock());
        for (size_t m = 0; m < rl->modes.size(); ++m) {
            std::vector<uint64_t> tags;
            for (auto& [tag, source] : rl->modes[m].sources)
                tags.push_back(tag);
            for (uint64_t tag : tags)
                if (auto* s = detach(rl, m, tag)) released.push_back(s);
        }
    }
    for (auto* source : released)
        CFRelease(source);
    rl->~__CFRunLoop();
}

CFTypeID runLoopType() {
    static const CFTypeID id = _CFRuntimeRegisterClass(&runLoopClass);
    return id;
}

CFTypeID sourceType() {
    static const CFTypeID id = _CFRuntimeRegisterClass(&sourceClass);
    return id;
}

__CFRunLoop* asLoop(CFRunLoopRef rl) {
    return cf::as<__CFRunLoop>(rl, runLoopType());
}
__CFRunLoopSource* asSource(CFRunLoopSourceRef s) {
    return cf::as<__CFRunLoopSource>(s, sourceType());
}

// The thread's loop, released when the thread ends.
struct ThreadLoop {
    CFRunLoopRef loop = nullptr;
    ~ThreadLoop() {
        if (loop) CFRelease(loop);
    }
};
thread_local ThreadLoop threadLoop;

} // namespace

__CFRunLoop::~__CFRunLoop() {
    for (auto& mode : modes) {
        close(mode.epoll);
        CFRelease(mode.name);
    }
    if (wake >= 0) close(wake);
}

CFTypeID CFRunLoopGetTypeID(void) {
    return runLoopType();
}
CFTypeID CFRunLoopSourceGetTypeID(void) {
    return sourceType();
}

CFRunLoopRef CFRunLoopGetCurrent(void) {
    if (!threadLoop.loop) {
        __CFRunLoop* rl = _CFRuntimeNew<__CFRunLoop>(runLoopType());
        if (!rl) return nullptr;
        rl->wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        threadLoop.loop = rl;
    }
    return threadLoop.loop;
}

void CFRunLoopAddSource(CFRunLoopRef loop, CFRunLoopSourceRef src, CFStringRef modeName) {
    __CFRunLoop* rl = asLoop(loop);
    __CFRunLoopSource* source = asSource(src);
    if (!rl || !source || !source->valid) return;
    std::lock_guard guard(lock());
    long mode = findMode(rl, modeName, true);
    if (mode < 0) return;
    for (auto& m : source->memberships)
        if (m.loop == rl && m.mode == static_cast<size_t>(mode)) return; // already there
    uint64_t tag = rl->nextTag++;
    CFRetain(source);
    rl->modes[mode].sources[tag] = source;
    source->memberships.push_back({rl, static_cast<size_t>(mode), tag});
    watch(rl, mode, tag, source, EPOLL_CTL_ADD);
    // A loop that waits already sees the new source on its next wait.
    uint64_t one = 1;
    if (write(rl->wake, &one, sizeof one) < 0) {
    }
}

void CFRunLoopRemoveSource(CFRunLoopRef loop, CFRunLoopSourceRef src, CFStringRef modeName) {
    __CFRunLoop* rl = asLoop(loop);
    __CFRunLoopSource* source = asSource(src);
    if (!rl || !source) return;
    __CFRunLoopSource* released = nullptr;
    {
        std::lock_guard guard(lock());
        long mode = findMode(rl, modeName, false);
        if (mode < 0) return;
        for (auto& m : source->memberships) {
            if (m.loop == rl && m.mode == static_cast<size_t>(mode)) {
                released = detach(rl, mode, m.tag);
                break;
            }
        }
    }
    if (released) {
        uint64_t one = 1;
        if (write(rl->wake, &one, sizeof one) < 0) {
        }
        CFRelease(released);
    }
}

Boolean CFRunLoopContainsSource(CFRunLoopRef loop, CFRunLoopSourceRef src, CFStringRef modeName) {
    __CFRunLoop* rl = asLoop(loop);
    __CFRunLoopSource* source = asSource(src);
    if (!rl || !source) return false;
    std::lock_guard guard(lock());
    long mode = findMode(rl, modeName, false);
    for (auto& m : source->memberships)
        if (m.loop == rl && static_cast<long>(m.mode) == mode) return true;
    return false;
}

void CFRunLoopSourceInvalidate(CFRunLoopSourceRef src) {
    __CFRunLoopSource* source = asSource(src);
    if (!source || !source->valid.exchange(false)) return;
    std::vector<std::pair<__CFRunLoop*, __CFRunLoopSource*>> released;
    {
        std::lock_guard guard(lock());
        auto memberships = source->memberships;
        for (auto& m : memberships)
            if (auto* s = detach(m.loop, m.mode, m.tag)) released.push_back({m.loop, s});
    }
    for (auto& [rl, s] : released) {
        uint64_t one = 1;
        if (write(rl->wake, &one, sizeof one) < 0) {
        }
        CFRelease(s);
    }
}

Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef src) {
    __CFRunLoopSource* source = asSource(src);
    return source && source->valid;
}

CFIndex CFRunLoopSourceGetOrder(CFRunLoopSourceRef src) {
    __CFRunLoopSource* source = asSource(src);
    return source ? source->order : 0;
}

void CFRunLoopStop(CFRunLoopRef loop) {
    // Only an atomic store and a write(2): safe in a signal handler.
    auto* rl = static_cast<__CFRunLoop*>(loop);
    if (!rl) return;
    rl->stopRequested.store(true);
    uint64_t one = 1;
    if (write(rl->wake, &one, sizeof one) < 0) {
    }
}

void CFRunLoopWakeUp(CFRunLoopRef loop) {
    __CFRunLoop* rl = asLoop(loop);
    if (!rl) return;
    uint64_t one = 1;
    if (write(rl->wake, &one, sizeof one) < 0) {
    }
}

Boolean CFRunLoopIsWaiting(CFRunLoopRef loop) {
    __CFRunLoop* rl = asLoop(loop);
    return rl && rl->running.load() > 0;
}

SInt32 CFRunLoopRunInMode(CFStringRef modeName, CFTimeInterval seconds,
                          Boolean returnAfterSourceHandled) {
    __CFRunLoop* rl = asLoop(CFRunLoopGetCurrent());
    if (!rl) return kCFRunLoopRunFinished;
    using Clock = std::chrono::steady_clock;
    bool forever = !(seconds < 1e9);
    Clock::time_point deadline =
        forever ? Clock::time_point::max()
                : Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(std::max(seconds, 0.0)));
    rl->running++;
    SInt32 result = kCFRunLoopRunFinished;
    for (;;) {
        if (rl->stopRequested.exchange(false)) {
            result = kCFRunLoopRunStopped;
            break;
        }
        int epoll;
        {
            std::lock_guard guard(lock());
            long mode = findMode(rl, modeName, false);
            if (mode < 0 || rl->modes[mode].sources.empty()) {
                result = kCFRunLoopRunFinished;
                break;
            }
            epoll = rl->modes[mode].epoll;
        }
        int timeoutMs = -1;
        if (!forever) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                result = kCFRunLoopRunTimedOut;
                break;
            }
            timeoutMs = static_cast<int>(std::min<long long>(left.count(), 1 << 30));
        }
        epoll_event events[16];
        int count = epoll_wait(epoll, events, 16, timeoutMs);
        if (count < 0) {
            if (errno == EINTR) continue;
            result = kCFRunLoopRunFinished;
            break;
        }
        bool handled = false;
        for (int i = 0; i < count; ++i) {
            if (events[i].data.u64 == kWakeTag) {
                uint64_t value;
                if (read(rl->wake, &value, sizeof value) < 0) {
                }
                continue;
            }
            __CFRunLoopSource* source = nullptr;
            {
                std::lock_guard guard(lock());
                long mode = findMode(rl, modeName, false);
                if (mode < 0) continue;
                auto it = rl->modes[mode].sources.find(events[i].data.u64);
                if (it == rl->modes[mode].sources.end() || !it->second->valid) continue;
                source = it->second;
                CFRetain(source);
            }
            source->perform(source->owner, events[i].events);
            CFRelease(source);
            handled = true;
            if (returnAfterSourceHandled || rl->stopRequested.load()) break;
        }
        if (handled && returnAfterSourceHandled) {
            result = kCFRunLoopRunHandledSource;
            break;
        }
    }
    rl->running--;
    return result;
}

void CFRunLoopRun(void) {
    SInt32 result;
    do {
        result = CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1e10, false);
    } while (result != kCFRunLoopRunStopped && result != kCFRunLoopRunFinished);
}

CFRunLoopSourceRef _CFRunLoopSourceCreateWithDescriptor(CFTypeRef owner, int fd, uint32_t events,
                                                        void (*perform)(CFTypeRef, uint32_t),
                                                        CFIndex order) {
    if (fd < 0 || !perform) return nullptr;
    __CFRunLoopSource* source = _CFRuntimeNew<__CFRunLoopSource>(sourceType());
    if (!source) return nullptr;
    source->owner = owner ? CFRetain(owner) : nullptr;
    source->fd = fd;
    source->events = events;
    source->perform = perform;
    source->order = order;
    return source;
}

void _CFRunLoopSourceSetEvents(CFRunLoopSourceRef src, uint32_t events) {
    __CFRunLoopSource* source = asSource(src);
    if (!source) return;
    std::lock_guard guard(lock());
    bool was = source->events != 0;
    source->events = events;
    for (auto& m : source->memberships)
        watch(m.loop, m.mode, m.tag, source, was ? EPOLL_CTL_MOD : EPOLL_CTL_ADD);
}
