#pragma once
// Waiting on the user-interface thread. Tests replace the wait to count it.

#include <functional>

namespace platform {

void SleepMilliseconds(unsigned ms);
// An empty function restores the real wait.
void SetSleepFunction(std::function<void(unsigned)> sleeper);

}  // namespace platform
