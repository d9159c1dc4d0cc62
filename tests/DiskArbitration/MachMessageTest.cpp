// Mach messages between two ends of a SOCK_SEQPACKET connection: whole, in order, bounded.
#include <gtest/gtest.h>
#include <mach/mach.h>
#include <mach/message.h>
#include <mach/socket_port.h>
#include <sys/socket.h>
#include <vector>

namespace {

struct Connection {
    mach_port_t a = MACH_PORT_NULL, b = MACH_PORT_NULL;
    Connection() {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        a = mach::insertSocketPort(fds[0]);
        b = mach::insertSocketPort(fds[1]);
    }
    ~Connection() {
        mach_port_deallocate(mach_task_self(), a);
        mach_port_deallocate(mach_task_self(), b);
    }
};

std::vector<uint8_t> message(mach_msg_id_t id, size_t size, bool wantsReply) {
    std::vector<uint8_t> bytes(size, static_cast<uint8_t>(id));
    auto* h = reinterpret_cast<mach_msg_header_t*>(bytes.data());
    *h = {};
    h->msgh_bits =
        MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, wantsReply ? MACH_MSG_TYPE_MAKE_SEND_ONCE : 0);
    h->msgh_size = static_cast<mach_msg_size_t>(size);
    h->msgh_id = id;
    return bytes;
}

mach_msg_return_t receive(mach_port_t port, std::vector<uint8_t>& buffer,
                          mach_msg_option_t extra = 0) {
    return mach_msg(reinterpret_cast<mach_msg_header_t*>(buffer.data()),
                    MACH_RCV_MSG | MACH_RCV_TIMEOUT | extra, 0,
                    static_cast<mach_msg_size_t>(buffer.size()), port, 1000, MACH_PORT_NULL);
}

} // namespace

TEST(MachMessage, MessagesArriveWholeAndInOrderNeverMerged) {
    Connection c;
    for (auto [id, size] : {std::pair{1, 24}, {2, 4096}, {3, 28}}) {
        auto m = message(id, size, false);
        reinterpret_cast<mach_msg_header_t*>(m.data())->msgh_remote_port = c.a;
        ASSERT_EQ(mach_msg_send(reinterpret_cast<mach_msg_header_t*>(m.data())), MACH_MSG_SUCCESS);
    }
    std::vector<uint8_t> buffer(8192);
    auto* h = reinterpret_cast<mach_msg_header_t*>(buffer.data());
    for (auto [id, size] : {std::pair{1, 24}, {2, 4096}, {3, 28}}) {
        ASSERT_EQ(receive(c.b, buffer), MACH_MSG_SUCCESS);
        EXPECT_EQ(h->msgh_id, id);
        EXPECT_EQ(h->msgh_size, static_cast<mach_msg_size_t>(size));
        EXPECT_EQ(h->msgh_local_port, c.b);
        EXPECT_EQ(h->msgh_remote_port, MACH_PORT_NULL) << "no reply port was given";
    }
    EXPECT_EQ(receive(c.b, buffer), MACH_RCV_TIMED_OUT);
}

TEST(MachMessage, AReplyGoesBackOverTheSameConnection) {
    Connection c;
    auto request = message(7, 32, true);
    reinterpret_cast<mach_msg_header_t*>(request.data())->msgh_remote_port = c.a;
    ASSERT_EQ(mach_msg_send(reinterpret_cast<mach_msg_header_t*>(request.data())),
              MACH_MSG_SUCCESS);
    std::vector<uint8_t> buffer(64);
    ASSERT_EQ(receive(c.b, buffer), MACH_MSG_SUCCESS);
    auto* h = reinterpret_cast<mach_msg_header_t*>(buffer.data());
    ASSERT_EQ(h->msgh_remote_port, c.b);
    auto reply = message(107, 24, false);
    reinterpret_cast<mach_msg_header_t*>(reply.data())->msgh_remote_port = h->msgh_remote_port;
    ASSERT_EQ(mach_msg_send(reinterpret_cast<mach_msg_header_t*>(reply.data())), MACH_MSG_SUCCESS);
    ASSERT_EQ(receive(c.a, buffer), MACH_MSG_SUCCESS);
    EXPECT_EQ(h->msgh_id, 107);
}

TEST(MachMessage, TooLargeStaysQueuedWithItsSizeWhenAskedElseIsDropped) {
    Connection c;
    for (int id : {1, 2}) {
        auto m = message(id, 512, false);
        reinterpret_cast<mach_msg_header_t*>(m.data())->msgh_remote_port = c.a;
        ASSERT_EQ(mach_msg_send(reinterpret_cast<mach_msg_header_t*>(m.data())), MACH_MSG_SUCCESS);
    }
    std::vector<uint8_t> small(64), large(1024);
    ASSERT_EQ(receive(c.b, small, MACH_RCV_LARGE), MACH_RCV_TOO_LARGE);
    EXPECT_EQ(reinterpret_cast<mach_msg_header_t*>(small.data())->msgh_size, 512u);
    ASSERT_EQ(receive(c.b, large), MACH_MSG_SUCCESS);
    EXPECT_EQ(reinterpret_cast<mach_msg_header_t*>(large.data())->msgh_id, 1);
    EXPECT_EQ(receive(c.b, small), MACH_RCV_TOO_LARGE); // dropped
    EXPECT_EQ(receive(c.b, large), MACH_RCV_TIMED_OUT);
}

TEST(MachMessage, BadSendsAndAClosedPeer) {
    Connection c;
    auto m = message(1, 24, false);
    auto* h = reinterpret_cast<mach_msg_header_t*>(m.data());
    h->msgh_remote_port = 0xdead;
    EXPECT_EQ(mach_msg_send(h), MACH_SEND_INVALID_DEST);
    h->msgh_remote_port = c.a;
    h->msgh_size = 8;
    EXPECT_EQ(mach_msg_send(h), MACH_SEND_MSG_TOO_SMALL);
    h->msgh_size = MACH_MSG_SIZE_MAX + 4;
    EXPECT_EQ(mach_msg_send(h), MACH_SEND_MSG_TOO_SMALL);
    mach_port_deallocate(mach_task_self(), c.a);
    c.a = MACH_PORT_NULL;
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(receive(c.b, buffer), MACH_RCV_PORT_DIED);
    EXPECT_EQ(receive(0xdead, buffer), MACH_RCV_INVALID_NAME);
}
