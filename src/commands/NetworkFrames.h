#pragma once

#include <QByteArray>

struct FormState;

// The printer's own frames that give it a new IP address or a new Ethernet ID.
namespace NetworkFrames {

// A network frame goes out in two sends on one connection: the head, then the address bytes,
// every byte raw.
struct Frame {
    QByteArray head;
    QByteArray address;
};

// bytIPCmdHead, then the four octets of bytNewIP, first part of the dotted text first.
Frame setIPFrame(const FormState& state);
// bytIDCmdHead, then the six bytes of bytNewID: the fixed 0, then the five typed parts.
Frame setIDFrame(const FormState& state);

} // namespace NetworkFrames
