// typecask dfm: converts form data between its binary and its text form.
#include <iostream>

#include "platform/ObjectText.h"
#include "tools/typecask/Command.h"

namespace Tool {

namespace {

int RunDfm(TArgs& Args) {
    const auto Words = Args.Positional(3);
    const std::string& Mode = Words[0];
    if (Mode != "totext" && Mode != "tobinary") throw EUsage("unknown conversion \"" + Mode + "\"");
    auto Input = OpenInput(Words[1]);
    TOutput Output(Words[2]);
    try {
        if (Mode == "totext")
            ObjectBinaryToText(Input.get(), Output.Stream());
        else
            ObjectTextToBinary(Input.get(), Output.Stream());
    } catch (Exception& E) {
        E.SetMessage((Words[1] == "-" ? AnsiString("standard input") : Words[1]) + ": " + E.GetMessage());
        throw;
    }
    Output.Commit();
    return 0;
}

const TCommandRegistration Registration({
    "dfm",
    "convert form data between its binary and text forms",
    "Usage: typecask dfm totext IN OUT\n"
    "       typecask dfm tobinary IN OUT\n"
    "Converts form data (\"TPF0\" binary form data, as components are streamed)\n"
    "to its text form (object Name: TClass ... end), or text back to binary.\n"
    "IN or OUT may be - for the standard input or output. OUT is replaced only\n"
    "when the whole conversion succeeded.\n",
    RunDfm,
});

}  // namespace

}  // namespace Tool
