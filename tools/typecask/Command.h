// The command dispatcher of the typecask host. Every command lives in a file
// of its own and registers itself with a static TCommandRegistration.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Streams.h"

namespace Tool {

// The words after the command name, with a small option parser.
class TArgs {
public:
    explicit TArgs(std::vector<std::string> Words) : FWords(std::move(Words)) {}

    // True (and the flag is consumed) when Flag occurs among the words.
    bool Flag(const std::string& Name);
    // The value after Name ("-o FILE" or "--output=FILE"), consumed; empty
    // when the option is absent. Raises EUsage when the value is missing.
    std::string Option(const std::string& Name, const std::string& Alias = {});
    // The same, but telling an absent option from an empty value ("--x ''").
    std::optional<std::string> OptionValue(const std::string& Name, const std::string& Alias = {});
    // True when --help or -h occurs.
    bool WantsHelp() const;
    // Removes and returns the first word (a subcommand); empty when none is
    // left.
    std::string Shift();
    // The remaining words, which must all be positional and exactly Count
    // (or between Min and Max) in number; raises EUsage otherwise.
    std::vector<std::string> Positional(std::size_t Min, std::size_t Max);
    std::vector<std::string> Positional(std::size_t Count) { return Positional(Count, Count); }

private:
    std::vector<std::string> FWords;
};

// Wrong use of a command: the message is printed with the command's usage.
class EUsage : public Exception {
public:
    using Exception::Exception;
};

struct TCommand {
    std::string Name;      // first word on the command line, e.g. "lz"
    std::string Summary;   // one line for the tool's --help
    std::string Help;      // full text for "typecask NAME --help"
    std::function<int(TArgs&)> Run;
    // True when Run answers --help itself (a command with subcommands).
    bool OwnHelp = false;
};

struct TCommandRegistration {
    explicit TCommandRegistration(TCommand Command);
};

const std::vector<TCommand>& Commands();

// Opens a file argument for reading; "-" is the standard input, read whole
// into memory so that the result can seek.
std::unique_ptr<TStream> OpenInput(const std::string& FileName);

// An output file argument: written to a temporary file beside the target and
// put in place only by Commit, so that a failed command leaves no partial
// file. "-" collects the output in memory and writes it to the standard
// output on Commit.
class TOutput {
public:
    explicit TOutput(const std::string& FileName);
    TStream* Stream() { return FStream.get(); }
    void Commit();

private:
    std::string FFileName;
    std::unique_ptr<TStream> FStream;
};

}  // namespace Tool
