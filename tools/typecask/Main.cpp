// typecask: the command-line host of the package.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>

#include "Typecask/support/VersionInfo.h"
#include "platform/os/Files.h"
#include "platform/widgetsets/WidgetSet.h"
#include "tools/typecask/Command.h"

namespace Tool {

namespace {

std::vector<TCommand>& Registry() {
    static std::vector<TCommand> Instance;
    return Instance;
}

}  // namespace

TCommandRegistration::TCommandRegistration(TCommand Command) { Registry().push_back(std::move(Command)); }

const std::vector<TCommand>& Commands() {
    auto& R = Registry();
    std::sort(R.begin(), R.end(), [](const TCommand& A, const TCommand& B) { return A.Name < B.Name; });
    return R;
}

bool TArgs::Flag(const std::string& Name) {
    auto It = std::find(FWords.begin(), FWords.end(), Name);
    if (It == FWords.end()) return false;
    FWords.erase(It);
    return true;
}

std::string TArgs::Option(const std::string& Name, const std::string& Alias) {
    return OptionValue(Name, Alias).value_or(std::string());
}

std::optional<std::string> TArgs::OptionValue(const std::string& Name, const std::string& Alias) {
    for (auto It = FWords.begin(); It != FWords.end(); ++It) {
        if (*It == Name || (!Alias.empty() && *It == Alias)) {
            if (std::next(It) == FWords.end()) throw EUsage("option " + *It + " needs a value");
            std::string Value = *std::next(It);
            FWords.erase(It, It + 2);
            return Value;
        }
        if (It->rfind(Name + "=", 0) == 0) {
            std::string Value = It->substr(Name.size() + 1);
            FWords.erase(It);
            return Value;
        }
    }
    return std::nullopt;
}

bool TArgs::WantsHelp() const {
    return std::any_of(FWords.begin(), FWords.end(), [](const std::string& W) { return W == "--help" || W == "-h"; });
}

std::vector<std::string> TArgs::Positional(std::size_t Min, std::size_t Max) {
    for (const auto& W : FWords)
        if (W.size() > 1 && W[0] == '-') throw EUsage("unknown option " + W);
    if (FWords.size() < Min) throw EUsage("missing argument");
    if (FWords.size() > Max) throw EUsage("too many arguments");
    return FWords;
}

std::string TArgs::Shift() {
    if (FWords.empty()) return {};
    std::string First = FWords.front();
    FWords.erase(FWords.begin());
    return First;
}

std::unique_ptr<TStream> OpenInput(const std::string& FileName) {
    if (FileName != "-") return std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    auto Memory = std::make_unique<TMemoryStream>();
    THandleStream Stdin(Os::GetStdHandle(Os::StdInput), false, "standard input");
    std::vector<char> Buffer(1 << 16);
    for (;;) {
        const auto N = Stdin.Read(Buffer.data(), static_cast<std::int64_t>(Buffer.size()));
        if (N <= 0) break;
        Memory->WriteBuffer(Buffer.data(), N);
    }
    Memory->SetPosition(0);
    return Memory;
}

TOutput::TOutput(const std::string& FileName) : FFileName(FileName) {
    if (FileName == "-")
        FStream = std::make_unique<TMemoryStream>();
    else
        FStream = std::make_unique<TAtomicFileStream>(FileName);
}

void TOutput::Commit() {
    if (auto* Memory = dynamic_cast<TMemoryStream*>(FStream.get())) {
        THandleStream Stdout(Os::GetStdHandle(Os::StdOutput), false, "standard output");
        Memory->SaveToStream(&Stdout);
    } else {
        static_cast<TAtomicFileStream*>(FStream.get())->Commit();
    }
}

namespace {

// The reasons an error carries inside it (the codec's account of damaged
// font data inside message 1), innermost last.
void PrintReasons(const std::exception& E) {
    try {
        std::rethrow_if_nested(E);
    } catch (const std::exception& Inner) {
        std::cerr << "  reason: " << Inner.what() << '\n';
        PrintReasons(Inner);
    } catch (...) {
    }
}

void PrintToolHelp() {
    std::cout << "Usage: typecask COMMAND [ARGS...]\n"
                 "       typecask --help | --version\n"
                 "Carries a TrueType font inside form data and installs it at run time.\n\n"
                 "Commands:\n";
    for (const auto& C : Commands()) std::printf("  %-12s %s\n", C.Name.c_str(), C.Summary.c_str());
    std::cout << "\nRun \"typecask COMMAND --help\" for the usage of one command.\n";
}

// The version from the package's own version resource, and what this build
// can show windows with.
int PrintVersion() {
    const TVersionInfo Info;
    const AnsiString Version = Info.GetVersionFieldFromResource(TVersionInfo::vfProductVersion);
    if (Version.empty()) {
        std::cerr << "typecask: the package carries no version resource\n";
        return 1;
    }
    std::cout << "typecask (" << Info.GetVersionFieldFromResource(TVersionInfo::vfProductName) << ") "
              << Version << "\nwidgetsets:";
    const char* Separator = " ";
    for (const auto& Name : BuiltInWidgetSets()) {
        std::cout << Separator << Name;
        Separator = ", ";
    }
    std::cout << '\n';
    return 0;
}

}  // namespace

}  // namespace Tool

int main(int argc, char** argv) {
    using namespace Tool;
    std::vector<std::string> Words(argv + 1, argv + argc);
    if (Words.empty() || Words[0] == "--help" || Words[0] == "-h" || Words[0] == "help") {
        PrintToolHelp();
        return Words.empty() ? 2 : 0;
    }
    if (Words[0] == "--version") {
        try {
            return PrintVersion();
        } catch (const Exception& E) {
            std::cerr << E.GetMessage() << '\n';
            return 1;
        }
    }
    const auto& All = Commands();
    auto It = std::find_if(All.begin(), All.end(), [&](const TCommand& C) { return C.Name == Words[0]; });
    if (It == All.end()) {
        std::cerr << "typecask: unknown command \"" << Words[0] << "\"; see \"typecask --help\"\n";
        return 2;
    }
    TArgs Args(std::vector<std::string>(Words.begin() + 1, Words.end()));
    try {
        if (Args.WantsHelp() && !It->OwnHelp) {
            std::cout << It->Help;
            return 0;
        }
        return It->Run(Args);
    } catch (const EUsage& E) {
        std::cerr << "typecask " << It->Name << ": " << E.GetMessage() << "\n\n" << It->Help;
        return 2;
    } catch (const Exception& E) {
        std::cerr << E.GetMessage() << '\n';
        PrintReasons(E);
        return 1;
    } catch (const std::exception& E) {
        std::cerr << "typecask: " << E.what() << '\n';
        return 1;
    }
}
