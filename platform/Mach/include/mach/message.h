// Mach messages: a header followed by the sender's bytes, sent to a port name and received on
// one. A port that stands for a connection to another process carries each message as one
// packet of a Unix-domain SOCK_SEQPACKET socket, so a message is never split or merged; a
// reply port is that same connection.
#pragma once
#include <mach/kern_return.h>
#include <mach/port.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int mach_msg_bits_t;
typedef uint32_t mach_msg_size_t;
typedef int32_t mach_msg_id_t;
typedef int mach_msg_option_t;
typedef uint32_t mach_msg_timeout_t;
typedef unsigned int mach_msg_type_name_t;
typedef kern_return_t mach_msg_return_t;

typedef struct {
    mach_msg_bits_t msgh_bits;
    mach_msg_size_t msgh_size;    // bytes of the whole message, header included
    mach_port_t msgh_remote_port; // where it goes (on receipt: where a reply goes)
    mach_port_t msgh_local_port;  // the reply port (on receipt: the port it came in on)
    mach_port_name_t msgh_voucher_port;
    mach_msg_id_t msgh_id;
} mach_msg_header_t;

// Port dispositions, as a sender names them in msgh_bits.
#define MACH_MSG_TYPE_MOVE_RECEIVE 16
#define MACH_MSG_TYPE_MOVE_SEND 17
#define MACH_MSG_TYPE_MOVE_SEND_ONCE 18
#define MACH_MSG_TYPE_COPY_SEND 19
#define MACH_MSG_TYPE_MAKE_SEND 20
#define MACH_MSG_TYPE_MAKE_SEND_ONCE 21
#define MACH_MSG_TYPE_PORT_SEND MACH_MSG_TYPE_MOVE_SEND
#define MACH_MSG_TYPE_PORT_SEND_ONCE MACH_MSG_TYPE_MOVE_SEND_ONCE

#define MACH_MSGH_BITS_REMOTE_MASK 0x0000001fu
#define MACH_MSGH_BITS_LOCAL_MASK 0x00001f00u
#define MACH_MSGH_BITS(remote, local) ((remote) | ((local) << 8))
#define MACH_MSGH_BITS_REMOTE(bits) ((bits)&MACH_MSGH_BITS_REMOTE_MASK)
#define MACH_MSGH_BITS_LOCAL(bits) (((bits)&MACH_MSGH_BITS_LOCAL_MASK) >> 8)

// The largest message a port carries, header included.
#define MACH_MSG_SIZE_MAX 65536u

// Options of mach_msg.
#define MACH_MSG_OPTION_NONE 0x00000000
#define MACH_SEND_MSG 0x00000001
#define MACH_RCV_MSG 0x00000002
#define MACH_RCV_LARGE 0x00000004
#define MACH_SEND_TIMEOUT 0x00000010
#define MACH_RCV_TIMEOUT 0x00000100
#define MACH_MSG_TIMEOUT_NONE 0u

// Results.
#define MACH_MSG_SUCCESS 0x00000000
#define MACH_SEND_INVALID_DATA 0x10000002
#define MACH_SEND_INVALID_DEST 0x10000003
#define MACH_SEND_TIMED_OUT 0x10000004
#define MACH_SEND_INTERRUPTED 0x10000007
#define MACH_SEND_MSG_TOO_SMALL 0x10000008
#define MACH_SEND_NO_BUFFER 0x1000000d
#define MACH_SEND_INVALID_HEADER 0x10000010
#define MACH_RCV_INVALID_NAME 0x10004002
#define MACH_RCV_TIMED_OUT 0x10004003
#define MACH_RCV_TOO_LARGE 0x10004004
#define MACH_RCV_INTERRUPTED 0x10004005
#define MACH_RCV_PORT_DIED 0x10004009

// Sends and/or receives. A send goes to header->msgh_remote_port, msgh_size bytes. A receive
// takes the next message of rcv_name into the buffer at header (rcv_size bytes); with
// MACH_RCV_TIMEOUT it waits at most timeout milliseconds (0: only what is queued), with
// MACH_RCV_LARGE a message longer than rcv_size stays queued and its size is left in
// header->msgh_size. A received header names rcv_name as msgh_local_port and, when the
// sender gave a reply port, the connection as msgh_remote_port.
mach_msg_return_t mach_msg(mach_msg_header_t* header, mach_msg_option_t option,
                           mach_msg_size_t send_size, mach_msg_size_t rcv_size,
                           mach_port_name_t rcv_name, mach_msg_timeout_t timeout,
                           mach_port_name_t notify);

// Sends the message, waiting as long as the receiver's queue is full.
mach_msg_return_t mach_msg_send(mach_msg_header_t* header);

// Receives on header->msgh_local_port into a buffer of header->msgh_size bytes, waiting.
mach_msg_return_t mach_msg_receive(mach_msg_header_t* header);

#ifdef __cplusplus
}
#endif
