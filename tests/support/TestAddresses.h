#pragma once

#include <QHostAddress>
#include <QString>
#include <QTcpServer>

// The addresses the tests use. The non-loopback ones exist only inside the private network
// namespace that the test command makes; a test checks with isLocal() first.
namespace TestAddresses {
inline const QString kPrinter = QStringLiteral("192.168.123.100");
inline const QString kNewPrinter = QStringLiteral("192.168.123.200");

// True when the address belongs to this host, so that nothing sent to it leaves the machine.
inline bool isLocal(const QHostAddress& address)
{
    QTcpServer probe;
    return probe.listen(address, 0);
}
inline QString missingReason(const QString& address)
{
    return address +
           QStringLiteral(" is not an address of this host; run the suite through the "
                          "test command, which adds it inside a private network namespace");
}
// Under CI a test that cannot have its address fails: a run of skips must not pass.
inline bool mustNotSkip()
{
    const QByteArray ci = qgetenv("CI").toLower();
    return !ci.isEmpty() && ci != "0" && ci != "false";
}
} // namespace TestAddresses

// Goes on only when the address is one of this host's own: skips otherwise, or fails under CI.
#define REQUIRE_LOCAL_ADDRESS(address)                                                             \
    do {                                                                                           \
        if (!TestAddresses::isLocal(QHostAddress(address))) {                                      \
            if (TestAddresses::mustNotSkip())                                                      \
                QFAIL(qPrintable(TestAddresses::missingReason(address)));                          \
            QSKIP(qPrintable(TestAddresses::missingReason(address)));                              \
        }                                                                                          \
    } while (false)
