#include "NetworkCommands.h"

#include "core/Catalogue.h"
#include "core/Outcome.h"
#include "core/Texts.h"
#include "form/FormState.h"
#include "form/FormView.h"
#include "window/WindowLink.h"

#include <algorithm>

using namespace Texts;

namespace {

Catalogue::Sends setIPSends(const FormState& state)
{
    return Catalogue::sends(Catalogue::Id::SetIp, Catalogue::IPv4{state.bytNewIP});
}

// bytNewID[0] is the fixed first byte, which the catalogue puts in front itself.
Catalogue::Sends setIDSends(const FormState& state)
{
    Catalogue::EthernetId id{};
    std::copy(state.bytNewID.begin() + 1, state.bytNewID.end(), id.parts.begin());
    return Catalogue::sends(Catalogue::Id::SetId, id);
}

} // namespace

// What sets the two commands apart: the entry they carry, its check's flag, their words and
// their frame.
struct NetworkChange {
    Field field;
    bool FormState::*valid;
    const char* refusal;
    Catalogue::Id command;
    Catalogue::Sends (*sends)(const FormState&);
};

namespace {

const NetworkChange kSetIP{.field = Field::SetIP,
                           .valid = &FormState::blnSetIPValid,
                           .refusal = kRefuseSetIP,
                           .command = Catalogue::Id::SetIp,
                           .sends = setIPSends};
const NetworkChange kSetID{.field = Field::ID,
                           .valid = &FormState::blnIDValid,
                           .refusal = kRefuseID,
                           .command = Catalogue::Id::SetId,
                           .sends = setIDSends};

} // namespace

NetworkCommands::NetworkCommands(WindowLink& link, FormView& view, FormState& state)
    : m_link(link)
    , m_view(view)
    , m_state(state)
{}

void NetworkCommands::cmdSetIP_Click()
{
    const std::optional<QString> newAddress = confirmAndSend(kSetIP);
    if (!newAddress)
        return;
    // The printer is to be found at its new address from now on. The connection to the old one
    // stays open until the next command replaces it.
    m_view.setText(Field::CurIP, *newAddress);
    m_view.setFocus(Field::CurIP);
}

void NetworkCommands::cmdID_Click()
{
    confirmAndSend(kSetID);
}

std::optional<QString> NetworkCommands::confirmAndSend(const NetworkChange& change)
{
    const QString text = m_view.text(change.field);
    // A field that was emptied keeps the flag and bytes of its last check, which are not what
    // the question would show: it is refused like a wrong one.
    if (!(m_state.*change.valid) || text.isEmpty()) {
        m_view.showMessage(QString::fromLatin1(change.refusal));
        m_view.setFocus(change.field);
        return std::nullopt;
    }
    // Taken before the question: the fields can be edited and checked again while the
    // connection is awaited, and what goes out must be what the user confirmed.
    const Catalogue::Sends sends = change.sends(m_state);
    if (!m_view.askYesNo(Outcomes::confirmation(change.command, text)))
        return std::nullopt;

    if (!m_link.Connect_printer())
        return std::nullopt; // the link has told the user why
    if (!m_link.SendData(sends)) {
        m_link.sendFailed();
        return std::nullopt;
    }
    return text;
}
