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

// The texts the checks show, shared with the tests that read them off the window.
namespace FieldMessages {
inline const char* const kEmptyCurIP = "Please input printer current IP address!";
inline const char* const kWrongCurIP = "The current IP address isn't correct.";
inline const char* const kEmptySetIP = "Please input printer set new IP address!";
inline const char* const kWrongSetIP = "The set new IP address isn't correct.";
inline const char* const kEmptyID = "Please input printer set new Ethernet ID!";
inline const char* const kWrongID = "The set new Ethernet ID isn't correct.";
} // namespace FieldMessages
