// typecask lz: compresses a file into the package's compressed stream format
// and back.
#include <limits>

#include "Typecask/compression/LZStream.h"
#include "tools/typecask/Command.h"

namespace Tool {

namespace {

AnsiString Shown(const std::string& FileName) { return FileName == "-" ? AnsiString("standard input") : FileName; }

int RunLz(TArgs& Args) {
    const auto Words = Args.Positional(3);
    const std::string& Mode = Words[0];
    if (Mode != "compress" && Mode != "decompress") throw EUsage("unknown mode \"" + Mode + "\"");
    auto Input = OpenInput(Words[1]);
    TOutput Output(Words[2]);
    try {
        TLZStream Codec;
        if (Mode == "compress") {
            const std::int64_t Size = Input->GetSize() - Input->GetPosition();
            if (Size > std::numeric_limits<std::int32_t>::max())
                throw EStreamError(Format("%d bytes are more than one compressed stream holds (2147483647)", {Size}));
            Codec.Compress(Input.get(), Output.Stream(), static_cast<std::int32_t>(Size));
        } else {
            Codec.DeCompress(Input.get(), Output.Stream());
        }
    } catch (Exception& E) {
        E.SetMessage(Shown(Words[1]) + ": " + E.GetMessage());
        throw;
    }
    Output.Commit();
    return 0;
}

const TCommandRegistration Registration({
    "lz",
    "compress a file into a compressed stream, or restore it",
    "Usage: typecask lz compress IN OUT\n"
    "       typecask lz decompress IN OUT\n"
    "compress writes the whole of IN as one compressed stream (the form the\n"
    "component stores its font data in: \"LZStream\", a total, and coded blocks\n"
    "of up to 32783 input bytes each); decompress restores the bytes.\n"
    "IN or OUT may be - for the standard input or output. OUT is replaced only\n"
    "when the whole operation succeeded; a corrupt or cut-short stream is an\n"
    "error that names where it is wrong.\n",
    RunLz,
});

}  // namespace

}  // namespace Tool
