// The extra export through which a host with its own user interface answers the library's questions (the
// SMAC question of every receipt that goes to the proxy) in its own windows, instead of the qzfp-confirm
// helper. See QZFP_ConfirmCallback in support/uQZ_Confirm.h for the callback's contract.

#include "platform/Export.h"
#include "support/uQZ_Confirm.h"

QZ_EXPORT void QZFP_SetConfirmCallback(QZFP_ConfirmCallback aCallback, void* aUserData) {
  try {
    SetConfirmCallback(aCallback, aUserData);
  } catch (...) {
    // Nothing may cross the library boundary; a lock that cannot be taken leaves the earlier answerer.
  }
}
