#pragma once

class FormView;
struct FormState;

// The checks that run when an address field loses the focus to another control of the window.
// Each reports an empty or wrong text itself, and leaves its flag and parsed bytes in the form
// state for the link and the network commands to read.
namespace FieldChecks {
void txtCurIP_LostFocus(FormView& view, FormState& state);
void txtSetIP_LostFocus(FormView& view, FormState& state);
void txtID_LostFocus(FormView& view, FormState& state);
} // namespace FieldChecks
