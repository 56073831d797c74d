// A loopback client gives no credentials of its own, but the kernel knows which user owns each socket.
#include "peer_credentials.h"

#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qx::bridge {

namespace {

// The address as the kernel stores it in an inet_diag id (network order); false for other families.
bool fillAddress(const QHostAddress& address, __be32 out[4], int& family) {
    std::memset(out, 0, 16);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        family = AF_INET;
        out[0] = htonl(address.toIPv4Address());
        return true;
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        family = AF_INET6;
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        std::memcpy(out, v6.c, 16);
        return true;
    }
    return false;
}

class FdCloser {
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// "0100007F:BB80" of /proc/net/tcp: the address as the kernel's 32-bit words in host order, then the
// port in hex.
QByteArray procAddress(const QHostAddress& address, quint16 port) {
    QByteArray text;
    __be32 words[4];
    int family = 0;
    if (!fillAddress(address, words, family))
        return text;
    const int count = family == AF_INET ? 1 : 4;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(static_cast<quint32>(words[i]), 16).rightJustified(8, '0').toUpper();
    return text + ':' + QByteArray::number(port, 16).rightJustified(4, '0').toUpper();
}

} // namespace

std::optional<uid_t> peerUidByNetlink(const LoopbackPair& pair, bool& available) {
    available = false;
    struct Request {
        nlmsghdr header;
        inet_diag_req_v2 body;
    } request{};
    int family = 0;
    int peerFamily = 0;
    // The peer's socket: its source is our peer, its destination is us.
    if (!fillAddress(pair.peer, request.body.id.idiag_src, family) ||
        !fillAddress(pair.local, request.body.id.idiag_dst, peerFamily) || family != peerFamily)
        return std::nullopt;
    const FdCloser fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (fd.get() < 0)
        return std::nullopt;
    timeval timeout{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.body.sdiag_family = static_cast<__u8>(family);
    request.body.sdiag_protocol = IPPROTO_TCP;
    request.body.idiag_states = ~0U;
    request.body.id.idiag_sport = htons(pair.peerPort);
    request.body.id.idiag_dport = htons(pair.localPort);
    request.body.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.body.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd.get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) <
        0)
        return std::nullopt;
    alignas(nlmsghdr) char buffer[8192];
    const ssize_t got = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (got < 0)
        return std::nullopt;
    available = true;
    int remaining = static_cast<int>(got);
    for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, remaining);
         message = NLMSG_NEXT(message, remaining)) {
        if (message->nlmsg_type == NLMSG_ERROR) {
            // ENOENT: the kernel knows no such socket. Anything else says netlink does not serve us.
            const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(message));
            if (message->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr)) && error->error != -ENOENT)
                available = false;
            return std::nullopt;
        }
        if (message->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
            message->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg)))
            return static_cast<const inet_diag_msg*>(NLMSG_DATA(message))->idiag_uid;
    }
    return std::nullopt;
}

std::optional<uid_t> peerUidByProc(const LoopbackPair& pair) {
    const bool v4 = pair.peer.protocol() == QAbstractSocket::IPv4Protocol;
    QFile table(v4 ? QStringLiteral("/proc/net/tcp") : QStringLiteral("/proc/net/tcp6"));
    if (!table.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray source = procAddress(pair.peer, pair.peerPort);
    const QByteArray destination = procAddress(pair.local, pair.localPort);
    if (source.isEmpty() || destination.isEmpty())
        return std::nullopt;
    // "sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid ..."
    table.readLine();
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() > 7 && fields[1] == source && fields[2] == destination) {
            bool ok = false;
            const uint uid = fields[7].toUInt(&ok);
            return ok ? std::optional<uid_t>(uid) : std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<uid_t> peerUid(const LoopbackPair& pair) {
    bool available = false;
    if (auto uid = peerUidByNetlink(pair, available))
        return uid;
    return available ? std::nullopt : peerUidByProc(pair);
}

} // namespace qx::bridge
