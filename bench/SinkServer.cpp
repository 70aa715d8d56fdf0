#include "SinkServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>

namespace {

sockaddr_in addressOf(const char* ipv4, std::uint16_t port)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    inet_pton(AF_INET, ipv4, &where.sin_addr);
    return where;
}

} // namespace

SinkServer::SinkServer(const char* ipv4, std::uint16_t port, bool keepBytes)
    : SinkServer(std::vector<std::string>{ipv4}, port, keepBytes)
{}

SinkServer::SinkServer(const std::vector<std::string>& ipv4s, std::uint16_t port, bool keepBytes)
    : m_keep(keepBytes)
{
    for (const std::string& ipv4 : ipv4s) {
        const sockaddr_in where = addressOf(ipv4.c_str(), port);
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(listener, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
            ::listen(listener, 128) != 0) {
            ::close(listener);
            for (int fd : m_listeners)
                ::close(fd);
            m_listeners.clear();
            return;
        }
        m_listeners.push_back(listener);
    }
    if (::pipe(m_wake) != 0) {
        for (int fd : m_listeners)
            ::close(fd);
        m_listeners.clear();
        return;
    }
    m_thread = std::thread([this] { run(); });
}

SinkServer::~SinkServer()
{
    if (m_thread.joinable()) {
        const char stop = 0;
        (void)!::write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : m_listeners)
        ::close(fd);
    for (int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

SinkServer::Clock::time_point SinkServer::lastByteAt() const
{
    std::lock_guard lock(m_mutex);
    Clock::time_point last{};
    for (const Connection& c : m_connections)
        last = std::max(last, c.last);
    return last;
}

std::vector<SinkServer::Connection> SinkServer::connections() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

std::size_t SinkServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections.size();
}

void SinkServer::run()
{
    std::map<int, std::size_t> open; // fd -> index of its connection
    std::vector<char> buffer(1 << 20);
    const std::size_t first = 1 + m_listeners.size(); // the wake pipe, then the listeners
    for (;;) {
        std::vector<pollfd> fds = {{m_wake[0], POLLIN, 0}};
        for (int listener : m_listeners)
            fds.push_back({listener, POLLIN, 0});
        for (const auto& [fd, index] : open)
            fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 10000) < 0)
            return;
        if (fds[0].revents)
            break;
        for (std::size_t i = 1; i < first; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                std::lock_guard lock(m_mutex);
                open[fd] = m_connections.size();
                m_connections.push_back({});
            }
        }
        for (std::size_t i = first; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            const ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got <= 0) {
                ::close(fds[i].fd);
                open.erase(fds[i].fd);
                continue;
            }
            {
                std::lock_guard lock(m_mutex);
                Connection& c = m_connections[open[fds[i].fd]];
                c.count += std::uint64_t(got);
                c.last = Clock::now();
                if (m_keep)
                    c.bytes.append(buffer.data(), std::size_t(got));
            }
            m_total += std::uint64_t(got);
            if (m_onData)
                m_onData();
        }
    }
    for (const auto& [fd, index] : open)
        ::close(fd);
}

bool plainSend(const char* ipv4, std::uint16_t port, const char* data, std::size_t size)
{
    const sockaddr_in where = addressOf(ipv4, port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
    while (ok && size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        ok = sent > 0;
        if (ok) {
            data += sent;
            size -= std::size_t(sent);
        }
    }
    ::close(fd);
    return ok;
}
