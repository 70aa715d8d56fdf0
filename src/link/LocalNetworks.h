#pragma once

#include "core/AddressRange.h"

#include <QList>
#include <QString>

// The IPv4 networks this machine is on, loopback left out: where a search looks when it is
// told no range.
struct LocalNetwork {
    QString interface; // its name, for the user
    AddressRange::Range hosts;
};

// Each network's hosts, at most the /22 around this machine's own address in it; when the system
// cannot tell, none, and why.
QList<LocalNetwork> localNetworks(QString* why);
