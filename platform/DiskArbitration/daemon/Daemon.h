// The disk arbitration daemon: one thread, one epoll set. It keeps the table of disks from
// sysfs, uevents and the mount table, tells its clients of every change, and carries out
// mount, unmount and eject requests one at a time, asking every client first.
#pragma once
#include "BlockDevices.h"
#include "Probe.h"
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace diskarb {

struct DaemonOptions {
    std::string socketPath;
    std::string stateDirectory; // mount points go to <stateDirectory>/disks/<id>
    std::string sysfsRoot = "/sys";
    std::string mountinfo = "/proc/self/mountinfo";
    int acknowledgementTimeoutMs = 5000;
};

class Daemon {
  public:
    explicit Daemon(DaemonOptions options);
    ~Daemon();
    // Runs until SIGTERM or SIGINT; returns the process exit status.
    int run();

  private:
    using Clock = std::chrono::steady_clock;
    struct Client {
        int fd = -1;
        pid_t pid = 0;
        uid_t uid = 0;
        bool ready = false;
        uint64_t notificationsSent = 0;
        uint64_t repliesReceived = 0;
    };
    struct Disk {
        BlockDevice device;
        Contents contents;
        std::string mountpoint;
        uint32_t sequenceNumber = 0;
        double timeAppeared = 0;
        bool ejecting = false; // detached by us; the kernel has yet to drop it
    };
    enum class Kind { Mount, Unmount, Eject };
    struct Request {
        Kind kind;
        std::string disk;
        uint32_t flags = 0;
        uint64_t requester = 0;
        pid_t pid = 0;
        uid_t uid = 0;
    };
    enum class Phase { UnmountPre, EjectPre };
    struct Operation {
        Request request;
        Phase phase = Phase::UnmountPre;
        std::vector<std::string> unmountTargets;
        std::string ejectTarget;
        std::set<std::pair<uint64_t, std::string>> awaiting; // (client, disk)
        int refusal = 0;
        bool waiting = false; // for acknowledgements of the pre-notifications
    };

    bool setUp();
    void onListen();
    void onClient(uint64_t id);
    void onMessage(uint64_t id, const uint8_t* message, size_t size);
    void onUevent();
    void onMountTableChange();
    void onTimer();
    void dropClient(uint64_t id);

    void refresh(const std::string& id);
    void refreshAll();
    void updateMountpoints(bool notify);
    uint32_t appearedFlags(const Disk& disk) const;

    void sendTo(uint64_t id, const std::vector<uint8_t>& message, bool notification);
    void broadcast(const std::vector<uint8_t>& message);
    std::vector<uint8_t> appearedMessage(const Disk& disk);
    void sendDiskList(uint64_t id);
    void sendResult(uint64_t requester, int status);
    void sendStatus(uint64_t requester);

    void enqueue(Request request);
    void startNext();
    void beginPhase(Phase phase);
    void acknowledged(uint64_t client, const std::string& disk, Phase phase, int answer);
    void advance();
    // Goes on with the operation once every answer is in (or one refused).
    void checkOperation();
    void finish(int status);
    int authorise(const Request& request, const Disk& disk) const;

    DaemonOptions options_;
    int epoll_ = -1, listen_ = -1, uevents_ = -1, mountinfo_ = -1, signals_ = -1, timer_ = -1;
    uint64_t nextClient_ = 16; // epoll tags below this are the daemon's own descriptors
    std::map<uint64_t, Client> clients_;
    std::map<std::string, Disk> disks_;
    uint32_t nextSequence_ = 1;
    std::deque<Request> queue_;
    std::optional<Operation> operation_;
    bool stopping_ = false;
};

} // namespace diskarb
