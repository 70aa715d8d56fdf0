#include "NetworkFrames.h"

#include "link/FormState.h"

#include <span>

namespace NetworkFrames {

namespace {

QByteArray raw(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

Frame setIPFrame(const FormState& state)
{
    return {raw(state.bytIPCmdHead), raw(state.bytNewIP)};
}

Frame setIDFrame(const FormState& state)
{
    return {raw(state.bytIDCmdHead), raw(state.bytNewID)};
}

} // namespace NetworkFrames
