#include "tests/support/Command.h"

#include <sys/wait.h>

#include <cstdio>
#include <stdexcept>

namespace TestSupport {

TCommandResult RunCommand(const std::string& Command) {
    FILE* Pipe = ::popen(Command.c_str(), "r");
    if (!Pipe) throw std::runtime_error("cannot run " + Command);
    TCommandResult Result;
    char Buffer[4096];
    std::size_t N;
    while ((N = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0) Result.Output.append(Buffer, N);
    const int Status = ::pclose(Pipe);
    Result.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    return Result;
}

}  // namespace TestSupport
