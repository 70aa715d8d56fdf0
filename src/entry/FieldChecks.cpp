#include "FieldChecks.h"

#include "core/Address.h"
#include "core/Texts.h"
#include "form/FormState.h"
#include "form/FormView.h"

#include <QScopedValueRollback>

#include <span>

using namespace Texts;

namespace {

// What sets one field's check apart from the others'.
struct FieldCheck {
    Field field;
    const AddressRule& rule;
    const char* emptyMessage;
    const char* wrongMessage;
    bool FormState::*flag;
    // Where the parsed parts go, one byte per part; empty when the field stores nothing.
    std::span<std::uint8_t> (*store)(FormState&);
};

std::span<std::uint8_t> storesNothing(FormState&)
{
    return {};
}

std::span<std::uint8_t> newIPOctets(FormState& state)
{
    return state.bytNewIP;
}

// Index 0 is the fixed first byte of the Ethernet ID, which nobody types.
std::span<std::uint8_t> newIDParts(FormState& state)
{
    return std::span<std::uint8_t>(state.bytNewID).subspan(1);
}

const FieldCheck kCurIP{.field = Field::CurIP,
                        .rule = kIPv4Rule,
                        .emptyMessage = kEmptyCurIP,
                        .wrongMessage = kWrongCurIP,
                        .flag = &FormState::blnCurIPValid,
                        .store = storesNothing};
const FieldCheck kSetIP{.field = Field::SetIP,
                        .rule = kIPv4Rule,
                        .emptyMessage = kEmptySetIP,
                        .wrongMessage = kWrongSetIP,
                        .flag = &FormState::blnSetIPValid,
                        .store = newIPOctets};
const FieldCheck kID{.field = Field::ID,
                     .rule = kEthernetIdRule,
                     .emptyMessage = kEmptyID,
                     .wrongMessage = kWrongID,
                     .flag = &FormState::blnIDValid,
                     .store = newIDParts};

// Set while a check hands the focus back to its empty field. That takes the focus from the
// control the user had moved to; if that is another address field, it held the focus for no
// keystroke, so its text is the one it was last checked with. Checking it again would only
// bounce the focus back when it is empty too, between two empty fields for ever.
bool g_givingFocusBack = false;

void run(const FieldCheck& check, FormView& view, FormState& state)
{
    if (g_givingFocusBack)
        return;
    switch (checkAddress(view.text(check.field), check.rule, check.store(state))) {
    case CheckOutcome::Empty:
        view.showMessage(QString::fromLatin1(check.emptyMessage));
        {
            const QScopedValueRollback givingBack(g_givingFocusBack, true);
            view.setFocus(check.field);
        }
        return;
    case CheckOutcome::Wrong:
        // The focus stays where the user put it; the flag falls once the box is dismissed.
        view.showMessage(QString::fromLatin1(check.wrongMessage));
        state.*check.flag = false;
        return;
    case CheckOutcome::Valid:
        state.*check.flag = true;
        return;
    }
}

} // namespace

namespace FieldChecks {

void txtCurIP_LostFocus(FormView& view, FormState& state)
{
    run(kCurIP, view, state);
}

void txtSetIP_LostFocus(FormView& view, FormState& state)
{
    run(kSetIP, view, state);
}

void txtID_LostFocus(FormView& view, FormState& state)
{
    run(kID, view, state);
}

} // namespace FieldChecks
