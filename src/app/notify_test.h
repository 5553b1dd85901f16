#pragma once

#include <filesystem>

namespace bf {

// --notify-test: sends one "test" message to the NotifyURL of the station
// folder's settings, in its NotifyFormat, and prints what the webhook
// answered (its status; of its address only the scheme and host). Returns
// the exit status: 0 on a 2xx answer, 1 otherwise (also without a
// NotifyURL). Needs a QCoreApplication.
int RunNotifyTest(const std::filesystem::path& folder);

}  // namespace bf
