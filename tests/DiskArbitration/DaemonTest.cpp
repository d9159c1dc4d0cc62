// The daemon's protocol through the client library, without disks of our own: start-up list,
// status, requests for disks it does not have, and a client library with no daemon.
#include <CoreFoundation/CoreFoundation.h>
#include <DiskArbitration/DiskArbitration.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class Daemon : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root: the daemon reads uevents";
        dir_ =
            std::filesystem::temp_directory_path() / ("diskarb-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        socket_ = (dir_ / "daemon.sock").string();
        setenv("QUINTAVER_DISKARB_SOCKET", socket_.c_str(), 1);
        pid_ = fork();
        if (pid_ == 0) {
            execl(DISKARBITRATIOND, DISKARBITRATIOND, "--socket", socket_.c_str(), "--state-dir",
                  (dir_ / "state").c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 200 && !std::filesystem::exists(socket_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        char status[64];
        for (int i = 0; i < 200 && DiskArbCopyStatus_auto(status, sizeof status) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "clean exit on SIGTERM";
            EXPECT_FALSE(std::filesystem::exists(socket_)) << "the socket is removed";
        }
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path dir_;
    std::string socket_;
    pid_t pid_ = -1;
};

int completeType = 0;
int disksListed = 0;
void listed(char*, unsigned, char*, char*, char*, unsigned, double, char*, char*) {
    ++disksListed;
}
void complete(int type) {
    completeType = type;
    CFRunLoopStop(CFRunLoopGetCurrent());
}
char reply[1024];
int replies = 0;
void handle(CFMachPortRef, void* msg, CFIndex, void*) {
    DiskArbHandleMsg(static_cast<mach_msg_header_t*>(msg),
                     reinterpret_cast<mach_msg_header_t*>(reply));
    if (mach_msg_send(reinterpret_cast<mach_msg_header_t*>(reply)) == MACH_MSG_SUCCESS) ++replies;
}

} // namespace

TEST_F(Daemon, AReadyClientGetsTheDiskListThenTypeTwentyFiveAndAnswersEach) {
    mach_port_t port;
    ASSERT_EQ(DiskArbStart(&port), 0);
    DiskArbAddCallbackHandler(kDA_DISK_APPEARED_COMPLETE, reinterpret_cast<void*>(listed), 1);
    DiskArbRegisterCallback_NotificationComplete(complete);
    DiskArbUpdateClientFlags();
    CFMachPortRef machPort = CFMachPortCreateWithPort(nullptr, port, handle, nullptr, nullptr);
    CFRunLoopSourceRef source = CFMachPortCreateRunLoopSource(nullptr, machPort, 0);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 10, false), kCFRunLoopRunStopped);
    EXPECT_EQ(completeType, kDiskArbCompletedDiskAppeared);
    EXPECT_EQ(replies, disksListed + 1);
    char status[4096];
    ASSERT_EQ(DiskArbCopyStatus_auto(status, sizeof status), 0);
    std::string expected = "client pid=" + std::to_string(getpid()) +
                           " uid=0 notifications=" + std::to_string(replies) +
                           " replies=" + std::to_string(replies);
    EXPECT_NE(std::string(status).find(expected), std::string::npos) << status;
    CFMachPortInvalidate(machPort);
    CFRelease(source);
    CFRelease(machPort);
}

TEST_F(Daemon, RequestsForDisksItDoesNotHaveFail) {
    EXPECT_EQ(DiskArbRequestMount_auto("nosuchdisk"), ENOENT);
    EXPECT_EQ(DiskArbUnmountRequest_auto("nosuchdisk", 0), ENOENT);
    EXPECT_EQ(DiskArbEjectRequest_auto("../etc", 0), ENOENT);
    EXPECT_EQ(DiskArbRequestMount_auto(nullptr), -1);
}

TEST(DaemonAbsent, StartAndRequestsFailWithoutADaemon) {
    setenv("QUINTAVER_DISKARB_SOCKET", "/nonexistent/diskarb.sock", 1);
    mach_port_t port = MACH_PORT_NULL;
    EXPECT_EQ(DiskArbStart(&port), kDiskArbServiceUnavailable);
    EXPECT_EQ(DiskArbRequestMount_auto("loop0"), -1);
    unsetenv("QUINTAVER_DISKARB_SOCKET");
}
