#pragma once

#include <QHostAddress>
#include <QString>

// The addresses the tests use. The non-loopback ones exist only inside the private network
// namespace that the test command makes; a test checks with isLocal() first and skips if not.
namespace TestAddresses {
inline const QString kPrinter = QStringLiteral("192.168.123.100");
inline const QString kNewPrinter = QStringLiteral("192.168.123.200");

// True when the address belongs to this host, so that nothing sent to it leaves the machine.
bool isLocal(const QHostAddress& address);
QString skipReason(const QString& address);
} // namespace TestAddresses

// Skips the running test unless the address is one of this host's own.
#define REQUIRE_LOCAL_ADDRESS(address)                                                             \
    do {                                                                                           \
        if (!TestAddresses::isLocal(QHostAddress(address)))                                        \
            QSKIP(qPrintable(TestAddresses::skipReason(address)));                                 \
    } while (false)
