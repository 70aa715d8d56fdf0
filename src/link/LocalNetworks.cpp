#include "LocalNetworks.h"

#ifdef Q_OS_WIN
#include <QNetworkInterface>
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <bit>
#include <cerrno>
#include <cstring>
#endif

#ifdef Q_OS_WIN
QList<LocalNetwork> localNetworks(QString* /*why*/)
{
    QList<LocalNetwork> networks;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            // An address whose network is not known tells nothing of where to look.
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol || entry.prefixLength() < 0)
                continue;
            networks << LocalNetwork{interface.name(),
                                     AddressRange::hostsOf(entry.ip().toIPv4Address(),
                                                           entry.prefixLength(),
                                                           AddressRange::kWidestOwnPrefix)};
        }
    }
    return networks;
}
#else
// Read from the system itself: QtNetwork, loaded for this alone, would cost every run of the
// command-line tool more start-up than a printer command takes.
QList<LocalNetwork> localNetworks(QString* why)
{
    QList<LocalNetwork> networks;
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return networks;
    }
    for (const ifaddrs* one = all; one; one = one->ifa_next) {
        const unsigned flags = one->ifa_flags;
        if (!(flags & IFF_UP) || !(flags & IFF_RUNNING) || (flags & IFF_LOOPBACK))
            continue;
        if (!one->ifa_addr || one->ifa_addr->sa_family != AF_INET || !one->ifa_netmask)
            continue;
        const auto address =
            ntohl(reinterpret_cast<const sockaddr_in*>(one->ifa_addr)->sin_addr.s_addr);
        const auto mask =
            ntohl(reinterpret_cast<const sockaddr_in*>(one->ifa_netmask)->sin_addr.s_addr);
        // A mask that is not a run of ones tells nothing of where to look.
        const int prefix = std::countl_one(mask);
        if (prefix < 32 && (mask << prefix) != 0)
            continue;
        networks << LocalNetwork{
            QString::fromLocal8Bit(one->ifa_name),
            AddressRange::hostsOf(address, prefix, AddressRange::kWidestOwnPrefix)};
    }
    ::freeifaddrs(all);
    return networks;
}
#endif
