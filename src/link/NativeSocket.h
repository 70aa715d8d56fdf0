#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdint>

// The system's TCP socket, used directly: the connect is made once per attempt (Qt's connect
// phase starts a new attempt on Linux when it sees a reset, so a printer that resets at once
// would get thousands in one timeout), the sending side can be shut while reading goes on, and
// the printer's acknowledgements can be counted. Every platform branch lives in this file's
// implementation.
namespace NativeSocket {

using Handle = qintptr;
inline constexpr Handle kInvalid = -1;

enum class Start { Connected, Pending, Failed };
// What failed: the connection refused, no answer in time, or anything else.
enum class Failure { None, Refused, TimedOut, Other };

// Opens a non-blocking socket and starts connecting it to the address and port.
Start connectTo(const std::array<std::uint8_t, 4>& address, std::uint16_t port, Handle* handle,
                Failure* failure);
// Once the pending socket reads writable: how the attempt ended.
Failure connectResult(Handle handle);

// Bytes taken by the system, 0 when it takes none now, -1 on a failure of the connection.
qint64 send(Handle handle, const char* data, qint64 size);
// Bytes read, 0 at the end of the printer's stream, -1 when nothing is there now, -2 on a
// failure of the connection.
qint64 receive(Handle handle, char* data, qint64 size);
// What the system tells of the written bytes it took, and of our FIN once sending is shut: how
// many bytes the printer has acknowledged, whether the FIN too, and whether the connection is over
// (reset, or given up by the system). It still tells after a reset, until the socket is closed.
// Where the system does not tell, everything taken counts as acknowledged.
struct Acknowledged {
    qint64 bytes = 0;
    bool fin = false;
    bool over = false;
};
Acknowledged acknowledged(Handle handle, qint64 written, bool shutDown);
// Sends our FIN: the printer learns that nothing more comes, and can still send.
void shutdownSending(Handle handle);
// Closes the socket; with reset, at once and without delivering what is still queued.
void close(Handle handle, bool reset = false);

// An IPv4 or IPv6 address written in numbers, in its usual form ("::1", "127.0.0.1"); empty when
// the text is none (a name is never looked up).
QString numericAddress(const QString& text);

// The desk printer's side. A listening socket on the address (IPv4 or IPv6 in numbers) and
// port, 0 for any free one; a receive buffer of that many bytes for each connection it takes
// (0: the system's), which keeps a slow reader's window small. kInvalid with the system's reason.
Handle listenOn(const QString& address, std::uint16_t port, int receiveBuffer, QString* why);
std::uint16_t localPort(Handle listening);

enum class Accept { Taken, None, OutOfDescriptors, Failed };
// Takes one waiting connection as a non-blocking socket, its peer as "address:port"; why it
// failed otherwise.
Accept accept(Handle listening, Handle* connection, QString* peer, QString* why);
// A descriptor held back for refusing connections when there are no others: kInvalid when none
// can be had.
Handle reserveSpare();
// Out of descriptors, a connection that waits can only be refused (reset) with the spare freed
// for it: every waiting one is, and the spare taken again. How many were refused.
int refuseWaiting(Handle listening, Handle* spare);
// The system's limit of descriptors for this process, 0 when unknown.
qint64 descriptorLimit();

} // namespace NativeSocket
