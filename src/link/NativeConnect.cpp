#include "NativeConnect.h"

// Platform code: Winsock on Windows, BSD sockets elsewhere.
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

namespace NativeConnect {

namespace {

#ifdef Q_OS_WIN
constexpr qintptr kInvalid = qintptr(INVALID_SOCKET);
bool ensureStarted()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
bool setNonBlocking(qintptr fd)
{
    u_long on = 1;
    return ioctlsocket(SOCKET(fd), FIONBIO, &on) == 0;
}
bool inProgress()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
#else
constexpr qintptr kInvalid = -1;
bool ensureStarted()
{
    return true;
}
bool setNonBlocking(qintptr fd)
{
    const int flags = ::fcntl(int(fd), F_GETFL);
    return flags >= 0 && ::fcntl(int(fd), F_SETFL, flags | O_NONBLOCK) == 0;
}
bool inProgress()
{
    return errno == EINPROGRESS || errno == EINTR;
}
#endif

} // namespace

Progress start(quint32 ipv4, quint16 port, qintptr* fd)
{
    *fd = kInvalid;
    if (!ensureStarted())
        return Progress::Failed;
    const qintptr s = qintptr(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (s == kInvalid)
        return Progress::Failed;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(ipv4);
    if (!setNonBlocking(s)) {
        close(s);
        return Progress::Failed;
    }
    *fd = s;
    if (::connect(decltype(::socket(0, 0, 0))(s), reinterpret_cast<const sockaddr*>(&where),
                  sizeof where) == 0)
        return Progress::Connected;
    if (inProgress())
        return Progress::Pending;
    close(s);
    *fd = kInvalid;
    return Progress::Failed;
}

bool succeeded(qintptr fd)
{
    int error = 0;
#ifdef Q_OS_WIN
    int length = sizeof error;
    const bool read = ::getsockopt(SOCKET(fd), SOL_SOCKET, SO_ERROR,
                                   reinterpret_cast<char*>(&error), &length) == 0;
#else
    socklen_t length = sizeof error;
    const bool read = ::getsockopt(int(fd), SOL_SOCKET, SO_ERROR, &error, &length) == 0;
#endif
    return read && error == 0;
}

void close(qintptr fd)
{
    if (fd == kInvalid)
        return;
#ifdef Q_OS_WIN
    ::closesocket(SOCKET(fd));
#else
    ::close(int(fd));
#endif
}

} // namespace NativeConnect
