#include "Daemon.h"
#include "../src/Protocol.h"
#include "DiskOperations.h"
#include "MountTable.h"
#include "Permission.h"
#include "Uevents.h"
#include <DiskArbitration/DiskArbitration.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

namespace diskarb {
namespace {

enum Tag : uint64_t { kListen = 1, kUevents, kMountinfo, kSignals, kTimer };

// Seconds since 1 January 2001, the epoch of CFAbsoluteTime.
double absoluteTimeNow() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec - 978307200) + now.tv_nsec / 1e9;
}

void makeDirectories(const std::string& path) {
    for (size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        mkdir(path.substr(0, slash).c_str(), 0755);
    }
}

bool addToEpoll(int epoll, int fd, uint32_t events, uint64_t tag) {
    epoll_event event = {};
    event.events = events;
    event.data.u64 = tag;
    return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

} // namespace

Daemon::Daemon(DaemonOptions options) : options_(std::move(options)) {}

Daemon::~Daemon() {
    for (auto& [id, client] : clients_)
        close(client.fd);
    for (int fd : {epoll_, listen_, uevents_, mountinfo_, signals_, timer_})
        if (fd >= 0) close(fd);
    if (listen_ >= 0) unlink(options_.socketPath.c_str());
}

bool Daemon::setUp() {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    signal(SIGPIPE, SIG_IGN);
    signals_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (signals_ < 0 || epoll_ < 0 || timer_ < 0) {
        std::perror("diskarbitrationd: set-up");
        return false;
    }

    makeDirectories(options_.stateDirectory);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (options_.socketPath.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "diskarbitrationd: socket path too long: %s\n",
                     options_.socketPath.c_str());
        return false;
    }
    std::memcpy(address.sun_path, options_.socketPath.c_str(), options_.socketPath.size() + 1);
    makeDirectories(options_.socketPath.substr(0, options_.socketPath.rfind('/')));
    // A socket file that nobody answers on is a leftover; one that answers is another daemon.
    int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        close(probe);
        std::fprintf(stderr, "diskarbitrationd: another daemon is listening on %s\n",
                     options_.socketPath.c_str());
        return false;
    }
    close(probe);
    unlink(options_.socketPath.c_str());
    listen_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listen_, 64) != 0) {
        std::fprintf(stderr, "diskarbitrationd: cannot listen on %s: %s\n",
                     options_.socketPath.c_str(), std::strerror(errno));
        return false;
    }
    // Every user may watch disks; what each may request is checked per request.
    chmod(options_.socketPath.c_str(), 0666);

    uevents_ = openUeventSocket();
    if (uevents_ < 0) {
        std::perror("diskarbitrationd: uevent socket");
        return false;
    }
    mountinfo_ = open(options_.mountinfo.c_str(), O_RDONLY | O_CLOEXEC);
    if (mountinfo_ < 0) {
        std::perror("diskarbitrationd: mount table");
        return false;
    }
    return addToEpoll(epoll_, listen_, EPOLLIN, kListen) &&
           addToEpoll(epoll_, uevents_, EPOLLIN, kUevents) &&
           addToEpoll(epoll_, mountinfo_, EPOLLPRI, kMountinfo) &&
           addToEpoll(epoll_, signals_, EPOLLIN, kSignals) &&
           addToEpoll(epoll_, timer_, EPOLLIN, kTimer);
}

int Daemon::run() {
    if (!setUp()) return 1;
    refreshAll();
    std::printf("diskarbitrationd: listening on %s, %zu disks\n", options_.socketPath.c_str(),
                disks_.size());
    std::fflush(stdout);
    epoll_event events[32];
    while (!stopping_) {
        int count = epoll_wait(epoll_, events, 32, -1);
        if (count < 0) {
            if (errno == EINTR) continue;
            std::perror("diskarbitrationd: epoll_wait");
            return 1;
        }
        for (int i = 0; i < count && !stopping_; ++i) {
            switch (uint64_t tag = events[i].data.u64) {
            case kListen:
                onListen();
                break;
            case kUevents:
                onUevent();
                break;
            case kMountinfo:
                onMountTableChange();
                break;
            case kTimer:
                onTimer();
                break;
            case kSignals:
                stopping_ = true;
                break;
            default:
                if (clients_.count(tag)) onClient(tag);
            }
            checkOperation();
        }
    }
    std::printf("diskarbitrationd: stopped\n");
    return 0;
}

// --- clients ------------------------------------------------------------------------------

void Daemon::onListen() {
    for (;;) {
        int fd = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        ucred credentials = {};
        socklen_t length = sizeof credentials;
        getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length);
        uint64_t id = nextClient_++;
        clients_[id] = Client{fd, credentials.pid, credentials.uid};
        addToEpoll(epoll_, fd, EPOLLIN, id);
    }
}

void Daemon::onClient(uint64_t id) {
    static uint8_t buffer[MACH_MSG_SIZE_MAX];
    for (;;) {
        auto it = clients_.find(id);
        if (it == clients_.end()) return;
        ssize_t got = recv(it->second.fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got <= 0) {
            dropClient(id);
            return;
        }
        if (static_cast<size_t>(got) > sizeof buffer) continue; // too long: not ours
        onMessage(id, buffer, static_cast<size_t>(got));
    }
}

void Daemon::dropClient(uint64_t id) {
    auto it = clients_.find(id);
    if (it == clients_.end()) return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, it->second.fd, nullptr);
    close(it->second.fd);
    clients_.erase(it);
    if (operation_) {
        // A client that has gone cannot object.
        std::erase_if(operation_->awaiting, [id](const auto& key) { return key.first == id; });
    }
}

void Daemon::onMessage(uint64_t id, const uint8_t* message, size_t size) {
    MessageReader in(message, size);
    if (!in.ok()) return;
    Client& client = clients_[id];
    mach_msg_id_t msgId = in.id();
    if (isNotification(msgId - kReplyOffset)) {
        client.repliesReceived++;
        return;
    }
    switch (msgId) {
    case kUpdateClientFlags:
        in.getInt();
        if (!client.ready) {
            client.ready = true;
            sendDiskList(id);
        }
        return;
    case kRequestMount:
    case kRequestUnmount:
    case kRequestEject: {
        const char* disk = in.getString();
        uint32_t flags = msgId == kRequestMount ? 0 : in.getInt();
        if (!in.ok()) return sendResult(id, EINVAL);
        Kind kind = msgId == kRequestMount     ? Kind::Mount
                    : msgId == kRequestUnmount ? Kind::Unmount
                                               : Kind::Eject;
        enqueue(Request{kind, disk, flags, id, client.pid, client.uid});
        return;
    }
    case kUnmountPreNotifyAck:
    case kEjectPreNotifyAck: {
        const char* disk = in.getString();
        int answer = static_cast<int>(in.getInt());
        if (in.ok())
            acknowledged(id, disk,
                         msgId == kUnmountPreNotifyAck ? Phase::UnmountPre : Phase::EjectPre,
                         answer);
        return;
    }
    case kRequestStatus:
        sendStatus(id);
        return;
    default:
        return;
    }
}

void Daemon::sendTo(uint64_t id, const std::vector<uint8_t>& message, bool notification) {
    auto it = clients_.find(id);
    if (it == clients_.end()) return;
    if (send(it->second.fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
        // A client that does not read its messages is not waited for.
        dropClient(id);
        return;
    }
    if (notification) it->second.notificationsSent++;
}

void Daemon::broadcast(const std::vector<uint8_t>& message) {
    std::vector<uint64_t> ready;
    for (auto& [id, client] : clients_)
        if (client.ready) ready.push_back(id);
    for (uint64_t id : ready)
        sendTo(id, message, true);
}

void Daemon::sendResult(uint64_t requester, int status) {
    MessageWriter out(kRequestResult);
    out.putInt(static_cast<uint32_t>(status));
    sendTo(requester, out.bytes(), false);
}

void Daemon::sendStatus(uint64_t requester) {
    std::ostringstream text;
    for (auto& [id, client] : clients_) {
        if (!client.ready) continue;
        text << "client pid=" << client.pid << " uid=" << client.uid
             << " notifications=" << client.notificationsSent
             << " replies=" << client.repliesReceived << "\n";
    }
    for (auto& [name, disk] : disks_) {
        text << "disk " << name << " mountpoint=" << disk.mountpoint
             << " fstype=" << disk.contents.fsType << "\n";
    }
    MessageWriter out(kStatusText);
    out.putString(text.str());
    sendTo(requester, out.bytes(), false);
}

// --- disks --------------------------------------------------------------------------------

uint32_t Daemon::appearedFlags(const Disk& disk) const {
    const BlockDevice& d = disk.device;
    uint32_t flags = 0;
    if (d.readOnly) flags |= kDiskArbDiskAppearedLockedMask;
    if (d.isLoop() || d.removable) flags |= kDiskArbDiskAppearedEjectableMask;
    if (d.whole) flags |= kDiskArbDiskAppearedWholeDiskMask;
    bool hasPartitions = false;
    for (auto& [name, other] : disks_)
        if (!other.device.whole && other.device.wholeDisk == d.id) hasPartitions = true;
    if (hasPartitions) flags |= kDiskArbDiskAppearedNonLeafDiskMask;
    if (disk.contents.fsType.empty() && disk.contents.ioContent.empty() && !hasPartitions)
        flags |= kDiskArbDiskAppearedUnrecognizableFormat;
    return flags;
}

std::vector<uint8_t> Daemon::appearedMessage(const Disk& disk) {
    MessageWriter out(kDiskAppearedComplete, true);
    out.putString(disk.device.id)
        .putInt(appearedFlags(disk))
        .putString(disk.mountpoint)
        .putString(disk.contents.ioContent)
        .putString(disk.device.devicePath)
        .putInt(disk.sequenceNumber)
        .putDouble(disk.timeAppeared)
        .putString(disk.contents.fsType)
        .putString(disk.contents.fsName);
    return out.bytes();
}

void Daemon::sendDiskList(uint64_t id) {
    for (auto& [name, disk] : disks_)
        if (!disk.ejecting) sendTo(id, appearedMessage(disk), true);
    MessageWriter done(kNotificationComplete, true);
    done.putInt(kDiskArbCompletedDiskAppeared);
    sendTo(id, done.bytes(), true);
}

void Daemon::refreshAll() {
    for (const std::string& name : listBlockDevices(options_.sysfsRoot))
        refresh(name);
    std::vector<std::string> gone;
    for (auto& [name, disk] : disks_)
        if (!readBlockDevice(options_.sysfsRoot, name)) gone.push_back(name);
    for (const std::string& name : gone)
        refresh(name);
}

void Daemon::refresh(const std::string& id) {
    std::optional<BlockDevice> device = readBlockDevice(options_.sysfsRoot, id);
    auto known = disks_.find(id);
    if (known != disks_.end() && device && known->second.ejecting &&
        device->backingFile == known->second.device.backingFile)
        return; // still being detached
    if (known != disks_.end() &&
        (!device || device->backingFile != known->second.device.backingFile)) {
        bool announce = !known->second.ejecting;
        disks_.erase(known);
        if (announce) {
            // Gone without an eject through us (detached, unplugged): say it is gone.
            MessageWriter out(kEjectPostNotify, true);
            out.putString(id).putInt(0).putInt(0);
            broadcast(out.bytes());
        }
        known = disks_.end();
    }
    if (!device) return;
    if (known != disks_.end()) {
        known->second.device = *device;
        return;
    }
    Disk disk;
    disk.device = *device;
    disk.contents = probeContents("/dev/" + id);
    auto mounts = readMountTable(options_.mountinfo);
    if (auto m = mounts.find(device->number); m != mounts.end()) disk.mountpoint = m->second;
    disk.sequenceNumber = nextSequence_++;
    disk.timeAppeared = absoluteTimeNow();
    auto& stored = disks_[id] = std::move(disk);
    broadcast(appearedMessage(stored));
}

void Daemon::onUevent() {
    char packet[8192];
    for (;;) {
        ssize_t got = recv(uevents_, packet, sizeof packet, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == ENOBUFS) { // events were lost: read everything afresh
                refreshAll();
                continue;
            }
            return;
        }
        auto keys = parseUevent(packet, static_cast<size_t>(got));
        if (keys["SUBSYSTEM"] != "block") continue;
        std::string name = keys["DEVNAME"];
        if (name.empty()) name = keys["DEVPATH"].substr(keys["DEVPATH"].rfind('/') + 1);
        refresh(name);
        // A whole disk's change may come with or without events of its partitions.
        std::vector<std::string> partitions;
        for (auto& [other, disk] : disks_)
            if (!disk.device.whole && disk.device.wholeDisk == name) partitions.push_back(other);
        for (const std::string& partition : partitions)
            refresh(partition);
        if (keys["ACTION"] == "change" || keys["ACTION"] == "add") {
            for (const std::string& other : listBlockDevices(options_.sysfsRoot))
                if (other != name && other.rfind(name, 0) == 0 && !disks_.count(other))
                    refresh(other);
        }
    }
}

void Daemon::onMountTableChange() {
    updateMountpoints(true);
}

void Daemon::updateMountpoints(bool notify) {
    auto mounts = readMountTable(options_.mountinfo);
    for (auto& [name, disk] : disks_) {
        auto m = mounts.find(disk.device.number);
        std::string now = m == mounts.end() ? "" : m->second;
        if (now == disk.mountpoint) continue;
        bool wasMounted = !disk.mountpoint.empty();
        disk.mountpoint = now;
        if (!notify) continue;
        // Mounted or unmounted by someone else.
        if (now.empty() && wasMounted) {
            MessageWriter out(kUnmountPostNotify, true);
            out.putString(name).putInt(0).putInt(0);
            broadcast(out.bytes());
        } else if (!now.empty()) {
            disk.contents = probeContents("/dev/" + name);
            broadcast(appearedMessage(disk));
        }
    }
}

// --- requests -----------------------------------------------------------------------------

void Daemon::enqueue(Request request) {
    queue_.push_back(std::move(request));
    if (!operation_) startNext();
}

int Daemon::authorise(const Request& request, const Disk& disk) const {
    return mayAct(request.uid, disk.device);
}

void Daemon::startNext() {
    while (!operation_ && !queue_.empty()) {
        Request request = std::move(queue_.front());
        queue_.pop_front();
        auto found = disks_.find(request.disk);
        if (found == disks_.end() || found->second.ejecting) {
            sendResult(request.requester, ENOENT);
            continue;
        }
        Disk& disk = found->second;
        if (int denied = authorise(request, disk)) {
            sendResult(request.requester, denied);
            continue;
        }
        if (request.kind == Kind::Mount) {
            int status = 0;
            if (disk.mountpoint.empty()) {
                disk.contents = probeContents("/dev/" + disk.device.id);
                status = mountDisk(disk.device.id, disk.contents.fsType, disk.device.readOnly,
                                   options_.stateDirectory + "/disks", disk.mountpoint);
            }
            if (status == 0) {
                broadcast(appearedMessage(disk));
            } else {
                MessageWriter out(kCallFailed, true);
                out.putString(disk.device.id).putInt(kDiskArbCallMount).putInt(status);
                broadcast(out.bytes());
            }
            sendResult(request.requester, status);
            continue;
        }

        Operation operation;
        operation.request = request;
        std::string whole = disk.device.wholeDisk;
        for (auto& [name, other] : disks_) {
            bool inScope = request.kind == Kind::Eject
                               ? other.device.wholeDisk == whole
                               : (name == request.disk ||
                                  (disk.device.whole && other.device.wholeDisk == whole));
            if (inScope && !other.mountpoint.empty()) operation.unmountTargets.push_back(name);
        }
        if (request.kind == Kind::Unmount && operation.unmountTargets.empty()) {
            sendResult(request.requester, EINVAL); // not mounted
            continue;
        }
        if (request.kind == Kind::Eject) operation.ejectTarget = whole;
        operation_ = std::move(operation);
        beginPhase(operation_->unmountTargets.empty() ? Phase::EjectPre : Phase::UnmountPre);
        checkOperation();
    }
}

void Daemon::beginPhase(Phase phase) {
    Operation& op = *operation_;
    op.phase = phase;
    op.awaiting.clear();
    std::vector<std::string> targets =
        phase == Phase::UnmountPre ? op.unmountTargets : std::vector{op.ejectTarget};
    std::vector<uint64_t> ready;
    for (auto& [id, client] : clients_)
        if (client.ready) ready.push_back(id);
    for (const std::string& target : targets)
        for (uint64_t id : ready)
            op.awaiting.insert({id, target});
    for (const std::string& target : targets) {
        MessageWriter out(phase == Phase::UnmountPre ? kUnmountPreNotify : kEjectPreNotify, true);
        out.putString(target).putInt(op.request.flags);
        broadcast(out.bytes());
    }
    // Clients dropped while sending cannot answer.
    std::erase_if(op.awaiting, [this](const auto& key) { return !clients_.count(key.first); });
    op.waiting = true;
    itimerspec deadline = {};
    deadline.it_value.tv_sec = options_.acknowledgementTimeoutMs / 1000;
    deadline.it_value.tv_nsec = (options_.acknowledgementTimeoutMs % 1000) * 1000000L + 1;
    timerfd_settime(timer_, 0, &deadline, nullptr);
}

void Daemon::checkOperation() {
    while (operation_ && operation_->waiting &&
           (operation_->awaiting.empty() || operation_->refusal != 0))
        advance();
}

void Daemon::acknowledged(uint64_t client, const std::string& disk, Phase phase, int answer) {
    if (!operation_ || operation_->phase != phase) return;
    if (!operation_->awaiting.erase({client, disk})) return;
    if (answer != 0 && operation_->refusal == 0) operation_->refusal = answer;
}

void Daemon::onTimer() {
    uint64_t expirations;
    if (read(timer_, &expirations, sizeof expirations) < 0) return;
    if (!operation_) return;
    // A client that has not answered in time is taken to have no objection.
    operation_->awaiting.clear();
}

void Daemon::advance() {
    itimerspec off = {};
    timerfd_settime(timer_, 0, &off, nullptr);
    Operation& op = *operation_;
    op.waiting = false;
    const Request& request = op.request;
    pid_t pid = request.pid;
    if (op.refusal != 0) {
        int refusal = op.refusal;
        bool unmounting = op.phase == Phase::UnmountPre;
        std::vector<std::string> targets =
            unmounting ? op.unmountTargets : std::vector{op.ejectTarget};
        for (const std::string& target : targets) {
            MessageWriter post(unmounting ? kUnmountPostNotify : kEjectPostNotify, true);
            post.putString(target).putInt(static_cast<uint32_t>(refusal)).putInt(pid);
            broadcast(post.bytes());
        }
        MessageWriter failed(kCallFailed, true);
        failed.putString(request.disk)
            .putInt(request.kind == Kind::Unmount ? kDiskArbCallUnmount : kDiskArbCallEject)
            .putInt(static_cast<uint32_t>(refusal));
        broadcast(failed.bytes());
        return finish(refusal);
    }
    if (op.phase == Phase::UnmountPre && request.kind == Kind::Eject) {
        beginPhase(Phase::EjectPre);
        return;
    }
    int status = 0;
    for (const std::string& target : op.unmountTargets) {
        auto found = disks_.find(target);
        int result = found == disks_.end() ? 0
                                           : unmountDisk(found->second.mountpoint,
                                                         options_.stateDirectory + "/disks");
        if (result == 0 && found != disks_.end()) found->second.mountpoint.clear();
        MessageWriter post(kUnmountPostNotify, true);
        post.putString(target).putInt(static_cast<uint32_t>(result)).putInt(pid);
        broadcast(post.bytes());
        if (result != 0 && status == 0) status = result;
    }
    if (status == 0 && request.kind == Kind::Eject) {
        auto found = disks_.find(op.ejectTarget);
        bool isLoop = found != disks_.end() && found->second.device.isLoop();
        bool removable = found != disks_.end() && found->second.device.removable;
        status = ejectDisk(op.ejectTarget, isLoop, removable);
        if (status == 0) {
            for (auto& [name, disk] : disks_)
                if (disk.device.wholeDisk == op.ejectTarget) disk.ejecting = true;
        }
        MessageWriter post(kEjectPostNotify, true);
        post.putString(op.ejectTarget).putInt(static_cast<uint32_t>(status)).putInt(pid);
        broadcast(post.bytes());
        if (status == 0) {
            // The kernel may have dropped the device already, or drops it soon.
            std::vector<std::string> names;
            for (auto& [name, disk] : disks_)
                if (disk.ejecting) names.push_back(name);
            for (const std::string& name : names)
                refresh(name);
        }
    }
    if (status != 0) {
        MessageWriter failed(kCallFailed, true);
        failed.putString(request.disk)
            .putInt(request.kind == Kind::Unmount ? kDiskArbCallUnmount : kDiskArbCallEject)
            .putInt(static_cast<uint32_t>(status));
        broadcast(failed.bytes());
    }
    finish(status);
}

void Daemon::finish(int status) {
    uint64_t requester = operation_->request.requester;
    operation_.reset();
    sendResult(requester, status);
    startNext();
}

} // namespace diskarb
