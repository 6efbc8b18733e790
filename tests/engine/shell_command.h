// A command started through the system's shell (sh -c, cmd /c, as
// std::system starts it) without waiting for it, so that several can run
// at once.
#pragma once

#include <cstdint>
#include <string>

namespace act::test {

// Throws std::runtime_error when the shell cannot be started.
intptr_t StartShellCommand(const std::string& command);
// Waits for it and returns its exit status (-1 when a signal ended it).
int WaitShellCommand(intptr_t started);

}  // namespace act::test
