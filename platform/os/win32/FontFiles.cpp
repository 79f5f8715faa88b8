// What a font file says of itself, read from its bytes (platform/os/FontNames.h).
#include "platform/os/FontFiles.h"

#include <algorithm>
#include <cstring>

#include "platform/Streams.h"
#include "platform/os/FontNames.h"

namespace Os {

std::vector<AnsiString> GetFontFileFamilies(const void* Data, std::size_t Size) {
    const auto* Bytes = static_cast<const std::uint8_t*>(Data);
    const TFontReader Read = [&](std::uint64_t Offset, void* Buffer, std::size_t Count) {
        if (Offset > Size || Count > Size - Offset) return false;
        std::memcpy(Buffer, Bytes + Offset, Count);
        return true;
    };
    return FaceFamiliesOf(ReadFontNames(Read, {1}));
}

std::vector<AnsiString> GetFontFileDeclaredFamilies(const AnsiString& FileName) {
    std::vector<AnsiString> Result;
    try {
        TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
        const std::uint64_t Size = static_cast<std::uint64_t>(File.GetSize());
        const TFontReader Read = [&](std::uint64_t Offset, void* Buffer, std::size_t Count) {
            if (Offset > Size || Count > Size - Offset) return false;
            File.SetPosition(static_cast<std::int64_t>(Offset));
            return File.Read(Buffer, static_cast<std::int64_t>(Count)) == static_cast<std::int64_t>(Count);
        };
        for (auto& Record : ReadFontNames(Read, {1, 16}))
            if (std::find(Result.begin(), Result.end(), Record.Text) == Result.end())
                Result.push_back(std::move(Record.Text));
    } catch (const Exception&) {
        return {};  // a file that cannot be read declares nothing
    }
    return Result;
}

}  // namespace Os
