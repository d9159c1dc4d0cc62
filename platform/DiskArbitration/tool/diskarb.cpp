// diskarb: asks the disk arbitration daemon for things, as any application may.
//   diskarb list                 the disks the daemon knows, then exit
//   diskarb watch [--refuse N]   print every notification until interrupted; answer unmount
//                                and eject requests with N (default 0: no objection)
//   diskarb mount ID | unmount ID | eject ID
//   diskarb status               the daemon's clients and disks
// QUINTAVER_DISKARB_SOCKET names a daemon other than the default one.
#include <CoreFoundation/CoreFoundation.h>
#include <DiskArbitration/DiskArbitration.h>
#include <mach/mach.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

bool listOnly = false;
int refusal = 0;
std::string machineWords(int error) {
    return error == 0 ? "ok" : std::strerror(error);
}

void appeared(char* disk, unsigned flags, char* mountpoint, char* ioContent, char* path,
              unsigned sequence, double time, char* fsType, char* fsName) {
    std::printf("disk %-10s flags=0x%03x fs=%-6s name=\"%s\" mounted=%s content=%s path=%s "
                "seq=%u time=%.3f\n",
                disk, flags, *fsType ? fsType : "-", fsName, *mountpoint ? mountpoint : "-",
                *ioContent ? ioContent : "-", path, sequence, time);
    std::fflush(stdout);
}

void unmountPre(char* disk, unsigned flags) {
    std::printf("unmount-request %s flags=0x%x answer=%d\n", disk, flags, refusal);
    std::fflush(stdout);
    DiskArbUnmountPreNotifyAck_async_auto(disk, refusal);
}

void ejectPre(char* disk, unsigned flags) {
    std::printf("eject-request %s flags=0x%x answer=%d\n", disk, flags, refusal);
    std::fflush(stdout);
    DiskArbEjectPreNotifyAck_async_auto(disk, refusal);
}

void unmountPost(char* disk, int error, pid_t pid) {
    std::printf("unmounted %s error=%d pid=%d\n", disk, error, pid);
    std::fflush(stdout);
}

void ejectPost(char* disk, int error, pid_t pid) {
    std::printf("ejected %s error=%d pid=%d\n", disk, error, pid);
    std::fflush(stdout);
}

void callFailed(char* disk, int type, int error) {
    std::printf("failed %s call=%d error=%d\n", disk, type, error);
    std::fflush(stdout);
}

void complete(int type) {
    if (!listOnly) {
        std::printf("complete %d\n", type);
        std::fflush(stdout);
    }
    if (listOnly) CFRunLoopStop(CFRunLoopGetCurrent());
}

char reply[1024];
void handle(CFMachPortRef, void* msg, CFIndex, void*) {
    DiskArbHandleMsg(static_cast<mach_msg_header_t*>(msg),
                     reinterpret_cast<mach_msg_header_t*>(reply));
    mach_msg_send(reinterpret_cast<mach_msg_header_t*>(reply));
}

CFRunLoopRef loop;
void stop(int) {
    CFRunLoopStop(loop);
}

int watch() {
    mach_port_t port;
    kern_return_t status = DiskArbStart(&port);
    if (status != 0) {
        std::fprintf(stderr, "diskarb: no disk arbitration daemon answers (status %d)\n", status);
        return 1;
    }
    DiskArbAddCallbackHandler(kDA_DISK_APPEARED_COMPLETE, reinterpret_cast<void*>(appeared), 1);
    DiskArbRegisterCallback_NotificationComplete(complete);
    if (!listOnly) {
        DiskArbRegisterCallback_UnmountPreNotification(unmountPre);
        DiskArbRegisterCallback_EjectPreNotification(ejectPre);
        DiskArbRegisterCallback_UnmountPostNotification(unmountPost);
        DiskArbRegisterCallback_EjectPostNotification(ejectPost);
        DiskArbRegisterCallback_CallFailedNotification(callFailed);
    }
    DiskArbUpdateClientFlags();
    CFMachPortRef machPort = CFMachPortCreateWithPort(nullptr, port, handle, nullptr, nullptr);
    CFRunLoopSourceRef source = CFMachPortCreateRunLoopSource(nullptr, machPort, 0);
    loop = CFRunLoopGetCurrent();
    CFRunLoopAddSource(loop, source, kCFRunLoopDefaultMode);
    CFRelease(source);
    CFRelease(machPort);
    std::signal(SIGINT, stop);
    std::signal(SIGTERM, stop);
    CFRunLoopRun();
    return 0;
}

int report(const char* what, const char* disk, kern_return_t status) {
    if (status == 0) return 0;
    if (status == -1)
        std::fprintf(stderr, "diskarb: no disk arbitration daemon answers\n");
    else
        std::fprintf(stderr, "diskarb: %s %s: %s (%d)\n", what, disk, machineWords(status).c_str(),
                     status);
    return 1;
}

int usage() {
    std::fprintf(stderr, "usage: diskarb list | watch [--refuse N] | status | mount ID | "
                         "unmount ID | eject ID\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string command = argv[1];
    if (command == "list" && argc == 2) {
        listOnly = true;
        return watch();
    }
    if (command == "watch") {
        if (argc == 4 && std::strcmp(argv[2], "--refuse") == 0)
            refusal = std::atoi(argv[3]);
        else if (argc != 2)
            return usage();
        return watch();
    }
    if (command == "status" && argc == 2) {
        static char text[65536];
        if (DiskArbCopyStatus_auto(text, sizeof text) != 0) return report("status", "", -1);
        std::fputs(text, stdout);
        return 0;
    }
    if (argc != 3) return usage();
    const char* disk = argv[2];
    if (command == "mount") return report("mount", disk, DiskArbRequestMount_auto(disk));
    if (command == "unmount") return report("unmount", disk, DiskArbUnmountRequest_auto(disk, 0));
    if (command == "eject") return report("eject", disk, DiskArbEjectRequest_auto(disk, 0));
    return usage();
}
