// Another program run through the shell, as the tests' independent oracle
// (fc-scan, the typecask tool in a process of its own, ...).
#pragma once

#include <string>

namespace TestSupport {

struct TCommandResult {
    int Status = -1;  // the exit status; -1 when the command did not exit normally
    std::string Output;
};

// Runs Command through the shell and returns what it printed on standard
// output and its exit status; throws std::runtime_error when it cannot start.
TCommandResult RunCommand(const std::string& Command);

}  // namespace TestSupport
