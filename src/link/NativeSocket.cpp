#include "NativeSocket.h"

// Platform code: Winsock on Windows, BSD sockets elsewhere, TCP_INFO on Linux.
#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
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
bool setNonBlocking(Native s)
{
    const int flags = ::fcntl(s, F_GETFL);
    return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(s, F_SETFD, FD_CLOEXEC) == 0;
}
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

} // namespace

Start connectTo(const std::array<std::uint8_t, 4>& address, std::uint16_t port, Handle* handle,
                Failure* failure)
{
    *handle = kInvalid;
    *failure = Failure::Other;
    if (!ensureStarted())
        return Start::Failed;
    const Native s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#ifdef Q_OS_WIN
    if (s == INVALID_SOCKET)
        return Start::Failed;
#else
    if (s < 0)
        return Start::Failed;
#endif
    if (!setNonBlocking(s)) {
        closeNative(s);
        return Start::Failed;
    }
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

} // namespace NativeSocket
