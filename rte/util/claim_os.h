// Private to the engine: the system's claim on a settings folder (see
// ClaimSettingsDir), one file per system behind this contract
// (claim_posix.cpp, claim_win32.cpp).
#pragma once

#include <string>

namespace rte::util::os {

// Claims the folder named by `id` for this process: 1.  0 when another
// process holds it, which is asked to come forward; `holder` is its
// process number where the system tells it.  Negative when the system
// refuses a claim.
int claim(const std::string &id, long &holder);
// See ClaimRequests and AnswerClaimRequest.
int claimRequests();
int answerClaimRequest();

}  // namespace rte::util::os
