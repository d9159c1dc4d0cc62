// Run loops with Mach-port sources: delivery on the loop's thread, stopping, ending.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>
#include <mach/mach.h>
#include <mach/message.h>
#include <mach/socket_port.h>

#include <chrono>
#include <csignal>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

struct Received {
    std::vector<std::pair<mach_msg_id_t, CFIndex>> messages;
    std::thread::id thread;
};

void record(CFMachPortRef, void* msg, CFIndex size, void* info) {
    auto* r = static_cast<Received*>(info);
    r->messages.push_back({static_cast<mach_msg_header_t*>(msg)->msgh_id, size});
    r->thread = std::this_thread::get_id();
}

void sendMessage(mach_port_t port, mach_msg_id_t id, size_t size) {
    std::vector<uint8_t> bytes(size);
    auto* h = reinterpret_cast<mach_msg_header_t*>(bytes.data());
    h->msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, 0);
    h->msgh_size = static_cast<mach_msg_size_t>(size);
    h->msgh_remote_port = port;
    h->msgh_id = id;
    ASSERT_EQ(mach_msg_send(h), MACH_MSG_SUCCESS);
}

// A connection whose one end feeds a source on the current thread's loop.
struct Fixture {
    mach_port_t sender, receiver;
    Received received;
    CFMachPortRef port;
    Fixture() {
        int fds[2];
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds);
        sender = mach::insertSocketPort(fds[0]);
        receiver = mach::insertSocketPort(fds[1]);
        CFMachPortContext context = {0, &received, nullptr, nullptr, nullptr};
        port = CFMachPortCreateWithPort(nullptr, receiver, record, &context, nullptr);
        CFRunLoopSourceRef source = CFMachPortCreateRunLoopSource(nullptr, port, 0);
        CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
        CFRelease(source); // the loop keeps it
    }
    ~Fixture() {
        CFMachPortInvalidate(port);
        CFRelease(port);
        if (sender) mach_port_deallocate(mach_task_self(), sender);
        mach_port_deallocate(mach_task_self(), receiver);
    }
};

CFRunLoopRef signalLoop;
void stopOnSignal(int) {
    CFRunLoopStop(signalLoop);
}

} // namespace

TEST(RunLoop, EachMessageReachesTheCallbackWithItsSizeOnTheLoopThread) {
    Fixture f;
    sendMessage(f.sender, 1, 24);
    sendMessage(f.sender, 2, 3000);
    while (f.received.messages.size() < 2)
        ASSERT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 5, true), kCFRunLoopRunHandledSource);
    EXPECT_EQ(f.received.messages[0], (std::pair<mach_msg_id_t, CFIndex>{1, 24}));
    EXPECT_EQ(f.received.messages[1], (std::pair<mach_msg_id_t, CFIndex>{2, 3000}));
    EXPECT_EQ(f.received.thread, std::this_thread::get_id());
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false), kCFRunLoopRunTimedOut);
}

TEST(RunLoop, RunReturnsWhenThePeerClosesAndNoSourceIsLeft) {
    Fixture f;
    sendMessage(f.sender, 5, 24);
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        mach_port_deallocate(mach_task_self(), f.sender);
        f.sender = MACH_PORT_NULL;
    });
    CFRunLoopRun(); // the message, then the closed connection: no source left
    closer.join();
    ASSERT_EQ(f.received.messages.size(), 1u);
    EXPECT_FALSE(CFMachPortIsValid(f.port));
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1, false), kCFRunLoopRunFinished);
}

TEST(RunLoop, StopFromAnotherThreadAndFromASignalHandler) {
    Fixture f;
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    std::thread stopper([loop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        CFRunLoopStop(loop);
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 10, false), kCFRunLoopRunStopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    stopper.join();

    signalLoop = loop;
    struct sigaction action = {};
    action.sa_handler = stopOnSignal;
    sigaction(SIGUSR1, &action, nullptr);
    pthread_t self = pthread_self();
    std::thread signaller([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pthread_kill(self, SIGUSR1);
    });
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 10, false), kCFRunLoopRunStopped);
    signaller.join();
    signal(SIGUSR1, SIG_DFL);
}

TEST(RunLoop, SourcesAreAddedAndRemovedPerModeAndEachThreadHasItsOwnLoop) {
    Fixture f;
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    EXPECT_EQ(CFRunLoopGetCurrent(), loop);
    CFRunLoopRef other = nullptr;
    std::thread([&] { other = CFRunLoopGetCurrent(); }).join();
    EXPECT_NE(other, loop);

    CFRunLoopSourceRef source = CFMachPortCreateRunLoopSource(nullptr, f.port, 3);
    EXPECT_EQ(CFRunLoopSourceGetOrder(source), 3);
    CFStringRef mode = CFSTR("private mode");
    CFRunLoopAddSource(loop, source, mode);
    EXPECT_TRUE(CFRunLoopContainsSource(loop, source, mode));
    EXPECT_FALSE(CFRunLoopContainsSource(loop, source, kCFRunLoopDefaultMode));
    CFRunLoopRemoveSource(loop, source, mode);
    EXPECT_FALSE(CFRunLoopContainsSource(loop, source, mode));
    EXPECT_EQ(CFRunLoopRunInMode(mode, 1, false), kCFRunLoopRunFinished);
    CFRelease(source);
}
