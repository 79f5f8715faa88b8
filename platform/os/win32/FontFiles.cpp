// What a font file says of itself, read from its bytes (platform/os/FontNames.h).
#include "platform/os/FontFiles.h"

#include <algorithm>

#include "platform/Streams.h"
#include "platform/os/FontNames.h"

namespace Os {

std::vector<AnsiString> GetFontFileFamilies(const void* Data, std::size_t Size) {
    return FaceFamiliesOf(ReadFontNames(MemoryFontReader(Data, Size), {1}));
}

std::vector<AnsiString> GetFontFileDeclaredFamilies(const AnsiString& FileName) {
    std::vector<AnsiString> Result;
    try {
        TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
        for (auto& Record : ReadFontNames(StreamFontReader(File), {1, 16}))
            if (std::find(Result.begin(), Result.end(), Record.Text) == Result.end())
                Result.push_back(std::move(Record.Text));
    } catch (const Exception&) {
        return {};  // a file that cannot be read declares nothing
    }
    return Result;
}

}  // namespace Os
