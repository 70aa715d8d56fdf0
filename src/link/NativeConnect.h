#pragma once

#include <QtGlobal>

// The system's own TCP connect, made once per attempt. Qt's connect phase calls connect() again
// when it sees a reset, and on Linux that starts a new attempt: a printer that resets every
// connection at once would get thousands of them in the 3 s of one attempt.
namespace NativeConnect {

enum class Progress { Connected, Pending, Failed };

// Opens a non-blocking socket and starts connecting it to ipv4:port. *fd is -1 on Failed.
Progress start(quint32 ipv4, quint16 port, qintptr* fd);
// Once the socket reads writable: has the pending attempt succeeded?
bool succeeded(qintptr fd);
void close(qintptr fd);

} // namespace NativeConnect
