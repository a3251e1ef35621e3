#pragma once
// The message unit: registers the French texts of the error families.
#include "errors/ErrorContext.h"

namespace U_Msg2User {
TErrorContext &context();
// Registers every text; category 8, code 1, "FAddMsgU" when one is refused.
TErrorContext &FInit(bool active, bool trace, quint8 destination);
// Number of texts that FInit registers.
int FTextCount();
} // namespace U_Msg2User
