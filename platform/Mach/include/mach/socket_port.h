// Ports that stand for a connection to another process: a connected Unix-domain
// SOCK_SEQPACKET socket, one message per packet. C++ only, for the frameworks that open such
// connections and the run loop that waits on them.
#pragma once
#include <mach/port_names.h>

#include <memory>

namespace mach {

class SocketPort : public PortObject {
  public:
    explicit SocketPort(int socket) : socket_(socket) {}
    ~SocketPort() override;
    SocketPort(const SocketPort&) = delete;
    SocketPort& operator=(const SocketPort&) = delete;
    // The socket, for waiting until a message is there (poll, epoll); read it with mach_msg.
    int socket() const { return socket_; }

  private:
    int socket_;
};

// A new name (one user reference) for a connected socket, which the port then owns and closes
// when the name dies. MACH_PORT_NULL (and the socket closed) when no name is left.
mach_port_name_t insertSocketPort(int socket);

// The connection of a live name; nullptr when the name is no connection.
std::shared_ptr<SocketPort> lookupSocketPort(mach_port_name_t name);

} // namespace mach
