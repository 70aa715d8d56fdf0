#include "NativeSocket.h"

#include "core/Address.h"

#include <cstring>
#include <utility>

// Platform code: Winsock on Windows, BSD sockets elsewhere, TCP_INFO on Linux.
#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <cstddef>
#include <linux/tcp.h>
#endif

namespace NativeSocket {

namespace {

#ifdef Q_OS_WIN
using Native = SOCKET;
constexpr int kNoSignal = 0;
bool ensureStarted()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
bool setNonBlocking(Native s)
{
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}
int lastError()
{
    return WSAGetLastError();
}
bool wouldBlock(int error)
{
    return error == WSAEWOULDBLOCK;
}
bool inProgress(int error)
{
    return error == WSAEWOULDBLOCK;
}
Failure failureOf(int error)
{
    if (error == WSAECONNREFUSED)
        return Failure::Refused;
    if (error == WSAETIMEDOUT)
        return Failure::TimedOut;
    return Failure::Other;
}
void closeNative(Native s)
{
    ::closesocket(s);
}
#else
using Native = int;
constexpr int kNoSignal = MSG_NOSIGNAL; // a printer gone is an error to report, not a SIGPIPE
bool ensureStarted()
{
    return true;
}
#ifndef Q_OS_LINUX // where sockets are made non-blocking as they are made
bool setNonBlocking(Native s)
{
    const int flags = ::fcntl(s, F_GETFL);
    return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(s, F_SETFD, FD_CLOEXEC) == 0;
}
#endif
int lastError()
{
    return errno;
}
bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}
bool inProgress(int error)
{
    return error == EINPROGRESS || error == EINTR;
}
Failure failureOf(int error)
{
    if (error == ECONNREFUSED)
        return Failure::Refused;
    if (error == ETIMEDOUT)
        return Failure::TimedOut;
    return Failure::Other;
}
void closeNative(Native s)
{
    ::close(s);
}
#endif

Native native(Handle handle)
{
    return Native(handle);
}

// A non-blocking TCP socket that no program started later inherits; kInvalid on failure.
Native newSocket(int family)
{
#ifdef Q_OS_LINUX
    // In one call: a click's connection waits on every call made before its SYN.
    const Native s = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    return s < 0 ? Native(kInvalid) : s;
#else
    const Native s = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (s == Native(kInvalid) || setNonBlocking(s))
        return s;
    closeNative(s);
    return Native(kInvalid);
#endif
}

// The address in text, IPv4 or IPv6 in numbers only (a name is never looked up), with the port.
// IPv4 is read as a printer's address is, so that one address is written alike everywhere.
bool socketAddress(const QString& text, std::uint16_t port, sockaddr_storage* where,
                   socklen_t* size)
{
    if (const auto octets = parseIPv4(text)) {
        auto* four = reinterpret_cast<sockaddr_in*>(where);
        four->sin_family = AF_INET;
        four->sin_port = htons(port);
        std::memcpy(&four->sin_addr, octets->data(), octets->size()); // already in network order
        *size = sizeof *four;
        return true;
    }
    const QByteArray address = text.toLatin1();
    if (address.contains('\0') || !ensureStarted()) // the system would read up to the NUL only
        return false;
    auto* six = reinterpret_cast<sockaddr_in6*>(where);
    if (::inet_pton(AF_INET6, address.constData(), &six->sin6_addr) == 1) {
        six->sin6_family = AF_INET6;
        six->sin6_port = htons(port);
        *size = sizeof *six;
        return true;
    }
    return false;
}

QString addressText(const sockaddr_storage& where)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (!ensureStarted())
        return QString();
    const void* address =
        where.ss_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&where)->sin6_addr)
            : &reinterpret_cast<const sockaddr_in*>(&where)->sin_addr;
    if (::inet_ntop(where.ss_family, address, text, sizeof text) == nullptr)
        return QString();
    return QString::fromLatin1(text);
}

} // namespace

Start connectTo(const std::array<std::uint8_t, 4>& address, std::uint16_t port, Handle* handle,
                Failure* failure)
{
    *handle = kInvalid;
    *failure = Failure::Other;
    if (!ensureStarted())
        return Start::Failed;
    const Native s = newSocket(AF_INET);
    if (s == Native(kInvalid))
        return Start::Failed;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    std::uint32_t ip = 0;
    for (std::uint8_t octet : address)
        ip = ip << 8 | octet;
    where.sin_addr.s_addr = htonl(ip);
    *handle = Handle(s);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0) {
        *failure = Failure::None;
        return Start::Connected;
    }
    const int error = lastError();
    if (inProgress(error)) {
        *failure = Failure::None;
        return Start::Pending;
    }
    closeNative(s);
    *handle = kInvalid;
    *failure = failureOf(error);
    return Start::Failed;
}

Failure connectResult(Handle handle)
{
    int error = 0;
#ifdef Q_OS_WIN
    int length = sizeof error;
    const bool read = ::getsockopt(native(handle), SOL_SOCKET, SO_ERROR,
                                   reinterpret_cast<char*>(&error), &length) == 0;
#else
    socklen_t length = sizeof error;
    const bool read = ::getsockopt(native(handle), SOL_SOCKET, SO_ERROR, &error, &length) == 0;
#endif
    if (!read)
        return Failure::Other;
    return error == 0 ? Failure::None : failureOf(error);
}

qint64 send(Handle handle, const char* data, qint64 size)
{
    // At most 1 GiB a call: every system takes that length, and the caller comes back for more.
    const int chunk = int(qMin<qint64>(size, qint64(1) << 30));
    const auto sent = ::send(native(handle), data, chunk, kNoSignal);
    if (sent >= 0)
        return qint64(sent);
    return wouldBlock(lastError()) ? 0 : -1;
}

qint64 receive(Handle handle, char* data, qint64 size)
{
    const auto got = ::recv(native(handle), data, int(qMin<qint64>(size, 1 << 30)), 0);
    if (got >= 0)
        return qint64(got);
    return wouldBlock(lastError()) ? -1 : -2;
}

Acknowledged acknowledged(Handle handle, qint64 written, bool shutDown)
{
#ifdef Q_OS_LINUX
    // The count covers the sequence numbers acknowledged: our SYN, the bytes, then our FIN.
    constexpr std::uint8_t kClosed = 7; // TCP_CLOSE of the system's states
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(native(handle), IPPROTO_TCP, TCP_INFO, &info, &length) == 0 &&
        length >= offsetof(tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked) {
        const qint64 sequence = qint64(info.tcpi_bytes_acked) - 1;
        return {qBound<qint64>(0, sequence, written), shutDown && sequence > written,
                info.tcpi_state == kClosed};
    }
#else
    Q_UNUSED(handle);
#endif
    return {written, shutDown, false};
}

void shutdownSending(Handle handle)
{
#ifdef Q_OS_WIN
    ::shutdown(native(handle), SD_SEND);
#else
    ::shutdown(native(handle), SHUT_WR);
#endif
}

void close(Handle handle, bool reset)
{
    if (handle == kInvalid)
        return;
    if (reset) {
        linger hard{};
        hard.l_onoff = 1;
        hard.l_linger = 0;
        ::setsockopt(native(handle), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
                     sizeof hard);
    }
    closeNative(native(handle));
}

QString numericAddress(const QString& text)
{
    sockaddr_storage where{};
    socklen_t size = 0;
    return socketAddress(text, 0, &where, &size) ? addressText(where) : QString();
}

Handle listenOn(const QString& address, std::uint16_t port, int receiveBuffer, QString* why)
{
    sockaddr_storage where{};
    socklen_t size = 0;
    if (!socketAddress(address, port, &where, &size)) {
        *why = QStringLiteral("\"%1\" is not an IPv4 or IPv6 address").arg(address);
        return kInvalid;
    }
    auto failed = [why](Native s) {
        *why = QString::fromLocal8Bit(std::strerror(lastError()));
        if (s != Native(kInvalid))
            closeNative(s);
        return kInvalid;
    };
    if (!ensureStarted())
        return failed(Native(kInvalid));
    const Native s = newSocket(where.ss_family);
    if (s == Native(kInvalid))
        return failed(s);
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    if (where.ss_family == AF_INET6) // the address given, not its IPv4 twin too
        ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof on);
    // Taken on by every connection accepted, from its first segment on.
    if (receiveBuffer > 0)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                     sizeof receiveBuffer);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&where), size) != 0 ||
        ::listen(s, SOMAXCONN) != 0)
        return failed(s);
    return Handle(s);
}

std::uint16_t localPort(Handle listening)
{
    sockaddr_storage where{};
    socklen_t size = sizeof where;
    if (::getsockname(native(listening), reinterpret_cast<sockaddr*>(&where), &size) != 0)
        return 0;
    return ntohs(where.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&where)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&where)->sin_port);
}

Accept accept(Handle listening, Handle* connection, QString* peer, QString* why)
{
    sockaddr_storage from{};
    socklen_t size = sizeof from;
#ifdef Q_OS_LINUX
    const Native s = ::accept4(native(listening), reinterpret_cast<sockaddr*>(&from), &size,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
#else
    Native s = ::accept(native(listening), reinterpret_cast<sockaddr*>(&from), &size);
    if (s != Native(kInvalid) && !setNonBlocking(s)) {
        closeNative(s);
        s = Native(kInvalid);
    }
#endif
    if (s == Native(kInvalid)) {
        const int error = lastError();
        if (wouldBlock(error))
            return Accept::None;
#ifndef Q_OS_WIN
        if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM)
            return Accept::OutOfDescriptors;
        // A connection that was reset while it waited is no fault of ours: the next one may be.
        if (error == ECONNABORTED || error == EPROTO || error == EPERM)
            return Accept::None;
#endif
        *why = QString::fromLocal8Bit(std::strerror(error));
        return Accept::Failed;
    }
    *connection = Handle(s);
    const std::uint16_t port =
        ntohs(from.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&from)->sin6_port
                                         : reinterpret_cast<sockaddr_in*>(&from)->sin_port);
    *peer = QStringLiteral("%1:%2").arg(addressText(from)).arg(port);
    return Accept::Taken;
}

Handle reserveSpare()
{
#ifdef Q_OS_WIN
    return kInvalid;
#else
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    return fd < 0 ? kInvalid : Handle(fd);
#endif
}

int refuseWaiting(Handle listening, Handle* spare)
{
    if (*spare == kInvalid)
        return 0;
#ifdef Q_OS_WIN
    Q_UNUSED(listening);
    return 0;
#else
    ::close(int(std::exchange(*spare, kInvalid)));
    int refused = 0;
    for (;;) {
        const int s = ::accept4(native(listening), nullptr, nullptr, SOCK_CLOEXEC);
        if (s < 0)
            break; // none waits any more, or another thread took the descriptor
        close(Handle(s), true);
        ++refused;
    }
    *spare = reserveSpare();
    return refused;
#endif
}

qint64 descriptorLimit()
{
#ifdef Q_OS_WIN
    return 0;
#else
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 0;
    return qint64(limit.rlim_cur);
#endif
}

} // namespace NativeSocket
