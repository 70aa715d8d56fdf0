#include "FieldChecks.h"

#include "link/FormState.h"
#include "link/FormView.h"

namespace FieldChecks {
void txtCurIP_LostFocus(FormView&, FormState&) {}
void txtSetIP_LostFocus(FormView&, FormState&) {}
void txtID_LostFocus(FormView&, FormState&) {}
} // namespace FieldChecks
