// The plainest client there is, for the benchmark's baseline: connects to HOST PORT, sends the
// bytes given as hex, closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 4)
        return 2;
    std::string bytes;
    for (const char* hex = argv[3]; hex[0] && hex[1]; hex += 2)
        bytes += char(std::strtol(std::string(hex, 2).c_str(), nullptr, 16));
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(std::uint16_t(std::atoi(argv[2])));
    inet_pton(AF_INET, argv[1], &where.sin_addr);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0)
        return 1;
    const bool sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    ::close(fd);
    return sent ? 0 : 1;
}
