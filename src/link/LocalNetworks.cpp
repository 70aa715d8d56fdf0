#include "LocalNetworks.h"

#include <QNetworkInterface>

QList<LocalNetwork> localNetworks()
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
