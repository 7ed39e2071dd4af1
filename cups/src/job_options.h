// The options of a CUPS job, checked before anything is printed: an option
// of this suite's queues (named Qor...) that the queue does not know, or a
// queue option with a choice it does not offer, fails the job with a
// message naming it instead of printing with a default.
#pragma once

#include <string>

namespace qorcups {

// `options` as CUPS passes them to the backend; `ppd_path` the queue's
// description file (null: only the Qor prefix is checked, and every such
// option is unknown).
bool CheckJobOptions(const char* options, const char* ppd_path, std::string* error);

}  // namespace qorcups
