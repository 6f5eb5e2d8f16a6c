#pragma once

#include <string>
#include <vector>

namespace platform {

// Runs a program found on PATH with the given arguments and waits for it.
// Returns its exit status, or -1 when it could not be started.
int RunProgram(const std::vector<std::string>& argv);

}  // namespace platform
