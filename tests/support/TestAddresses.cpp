#include "TestAddresses.h"

#include <QTcpServer>

namespace TestAddresses {

bool isLocal(const QHostAddress& address)
{
    QTcpServer probe;
    return probe.listen(address, 0);
}

QString missingReason(const QString& address)
{
    return QStringLiteral("%1 is not an address of this host; run the suite through the test "
                          "command, which adds it inside a private network namespace")
        .arg(address);
}

bool mustNotSkip()
{
    const QByteArray ci = qgetenv("CI").toLower();
    return !ci.isEmpty() && ci != "0" && ci != "false";
}

} // namespace TestAddresses
