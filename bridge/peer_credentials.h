// Who is at the other end of a loopback TCP connection: the user id that owns the peer's socket.
#pragma once

#include <QHostAddress>

#include <optional>
#include <sys/types.h>

namespace qx::bridge {

// The connection as this side sees it: our address and port, the peer's address and port.
struct LoopbackPair {
    QHostAddress local;
    quint16 localPort = 0;
    QHostAddress peer;
    quint16 peerPort = 0;
};

// The owner of the peer's socket (whose local end is our peer and whose remote end is us), asked of
// the kernel through the sock_diag netlink interface, and read from /proc/net/tcp and tcp6 where
// netlink is not to be had. Empty when neither knows the socket (it closed meanwhile).
std::optional<uid_t> peerUid(const LoopbackPair& pair);

// The two ways on their own, for the tests.
std::optional<uid_t> peerUidByNetlink(const LoopbackPair& pair, bool& available);
std::optional<uid_t> peerUidByProc(const LoopbackPair& pair);

} // namespace qx::bridge
