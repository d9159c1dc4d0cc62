// Messages between processes: each message is one packet of the connection's SOCK_SEQPACKET
// socket, so it arrives whole or not at all, never merged with the next.
#include <mach/message.h>
#include <mach/socket_port.h>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mach {

SocketPort::~SocketPort() {
    close(socket_);
}

mach_port_name_t insertSocketPort(int socket) {
    mach_port_name_t name = MACH_PORT_NULL;
    try {
        name = insertName(std::make_shared<SocketPort>(socket));
    } catch (const std::bad_alloc&) {
        close(socket);
    }
    return name;
}

std::shared_ptr<SocketPort> lookupSocketPort(mach_port_name_t name) {
    return lookup<SocketPort>(name);
}

} // namespace mach

namespace {

// Waits until fd is ready for events; 0 when it is, else the timed-out result.
bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p = {fd, events, 0};
    for (;;) {
        int n = poll(&p, 1, timeoutMs);
        if (n >= 0) return n > 0;
        if (errno != EINTR) return true; // let the call itself report the error
    }
}

mach_msg_return_t sendMessage(mach_msg_header_t* header, mach_msg_size_t size, bool timed,
                              mach_msg_timeout_t timeout) {
    if (size < sizeof(mach_msg_header_t) || size > MACH_MSG_SIZE_MAX || size % 4)
        return MACH_SEND_MSG_TOO_SMALL;
    auto port = mach::lookupSocketPort(header->msgh_remote_port);
    if (!port) return MACH_SEND_INVALID_DEST;
    header->msgh_size = size;
    if (timed && !waitFor(port->socket(), POLLOUT, static_cast<int>(timeout)))
        return MACH_SEND_TIMED_OUT;
    for (;;) {
        ssize_t sent = send(port->socket(), header, size, MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(size)) return MACH_MSG_SUCCESS;
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EMSGSIZE || errno == ENOBUFS)) return MACH_SEND_NO_BUFFER;
        return MACH_SEND_INVALID_DEST; // the other end has gone
    }
}

mach_msg_return_t receiveMessage(mach_msg_header_t* header, mach_msg_option_t option,
                                 mach_msg_size_t capacity, mach_port_name_t name,
                                 mach_msg_timeout_t timeout) {
    auto port = mach::lookupSocketPort(name);
    if (!port) return MACH_RCV_INVALID_NAME;
    int fd = port->socket();
    if ((option & MACH_RCV_TIMEOUT) && !waitFor(fd, POLLIN, static_cast<int>(timeout)))
        return MACH_RCV_TIMED_OUT;
    ssize_t length;
    do {
        length = recv(fd, header, 0, MSG_PEEK | MSG_TRUNC);
    } while (length < 0 && errno == EINTR);
    if (length == 0) return MACH_RCV_PORT_DIED; // the connection is closed
    if (length < 0) return errno == EAGAIN ? MACH_RCV_TIMED_OUT : MACH_RCV_PORT_DIED;
    if (static_cast<size_t>(length) > capacity || capacity < sizeof(mach_msg_header_t)) {
        if (option & MACH_RCV_LARGE) {
            if (capacity >= sizeof(mach_msg_header_t))
                header->msgh_size = static_cast<mach_msg_size_t>(length);
            return MACH_RCV_TOO_LARGE;
        }
        char discard;
        recv(fd, &discard, 1, 0); // too large and not to be kept: dropped, as Mach does
        return MACH_RCV_TOO_LARGE;
    }
    ssize_t got;
    do {
        got = recv(fd, header, capacity, 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return MACH_RCV_PORT_DIED;
    if (static_cast<size_t>(got) < sizeof(mach_msg_header_t)) return MACH_RCV_TOO_LARGE;
    // The names in the header are the sender's; here the message came in on name, and a
    // reply goes back over the same connection.
    bool wantsReply = MACH_MSGH_BITS_LOCAL(header->msgh_bits) != 0;
    header->msgh_size = static_cast<mach_msg_size_t>(got);
    header->msgh_local_port = name;
    header->msgh_remote_port = wantsReply ? name : MACH_PORT_NULL;
    header->msgh_bits =
        MACH_MSGH_BITS(wantsReply ? MACH_MSG_TYPE_PORT_SEND_ONCE : 0, MACH_MSG_TYPE_PORT_SEND);
    return MACH_MSG_SUCCESS;
}

} // namespace

extern "C" {

mach_msg_return_t mach_msg(mach_msg_header_t* header, mach_msg_option_t option,
                           mach_msg_size_t send_size, mach_msg_size_t rcv_size,
                           mach_port_name_t rcv_name, mach_msg_timeout_t timeout,
                           mach_port_name_t) {
    if (!header) return (option & MACH_SEND_MSG) ? MACH_SEND_INVALID_DATA : MACH_RCV_TOO_LARGE;
    if (option & MACH_SEND_MSG) {
        mach_msg_return_t sent =
            sendMessage(header, send_size, option & MACH_SEND_TIMEOUT, timeout);
        if (sent != MACH_MSG_SUCCESS) return sent;
    }
    if (option & MACH_RCV_MSG) return receiveMessage(header, option, rcv_size, rcv_name, timeout);
    return MACH_MSG_SUCCESS;
}

mach_msg_return_t mach_msg_send(mach_msg_header_t* header) {
    if (!header) return MACH_SEND_INVALID_DATA;
    return mach_msg(header, MACH_SEND_MSG, header->msgh_size, 0, MACH_PORT_NULL,
                    MACH_MSG_TIMEOUT_NONE, MACH_PORT_NULL);
}

mach_msg_return_t mach_msg_receive(mach_msg_header_t* header) {
    if (!header) return MACH_RCV_TOO_LARGE;
    return mach_msg(header, MACH_RCV_MSG, 0, header->msgh_size, header->msgh_local_port,
                    MACH_MSG_TIMEOUT_NONE, MACH_PORT_NULL);
}

} // extern "C"
