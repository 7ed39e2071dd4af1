// The identity the backend prints under on the system spooler. CUPS starts
// a backend that is not world-executable as root, and any other as lp but
// with cupsd's own group alone, never lp's other groups; the system
// spooler's folders and shared blocks are the group qor's. So the package
// installs the backend for root, and it becomes lp with all of lp's groups
// (the package makes lp a member of qor) before it reads anything.
#pragma once

#include <string>

namespace qorcups {

// Gives up root for the account `user` and its groups, for good; false
// with `error` when the account is missing or the change fails.
bool BecomeUser(const std::string& user, std::string* error);

}  // namespace qorcups
