// A font's embedding licence, read from its bytes on every platform
// (platform/os/FontNames.h).
#include <algorithm>

#include "platform/Streams.h"
#include "platform/os/FontFiles.h"
#include "platform/os/FontNames.h"

namespace Os {

namespace {

constexpr std::uint16_t RestrictedLicense = 0x0002;
constexpr std::uint16_t PreviewAndPrint = 0x0004;
constexpr std::uint16_t Editable = 0x0008;
constexpr std::uint16_t NoSubsetting = 0x0100;
constexpr std::uint16_t BitmapOnly = 0x0200;

TFontEmbedding EmbeddingOfFlags(const std::optional<std::vector<std::uint16_t>>& Flags) {
    TFontEmbedding Result;
    if (!Flags) return Result;
    for (const std::uint16_t FsType : *Flags) {
        const TFontEmbedding Face = EmbeddingOfFsType(FsType);
        Result.Permission = std::max(Result.Permission, Face.Permission);
        Result.NoSubsetting |= Face.NoSubsetting;
    }
    return Result;
}

}  // namespace

TFontEmbedding EmbeddingOfFsType(std::uint16_t FsType) {
    TFontEmbedding Result;
    Result.NoSubsetting = (FsType & NoSubsetting) != 0;
    // Bit 0 is reserved and means nothing.
    if (FsType & Editable)
        Result.Permission = TEmbeddingPermission::Editable;
    else if (FsType & PreviewAndPrint)
        Result.Permission = TEmbeddingPermission::PreviewAndPrint;
    else if (FsType & RestrictedLicense)
        Result.Permission = TEmbeddingPermission::Restricted;
    // Bitmaps only: a TrueType file carries outlines, which then may not be
    // embedded, however the low bits allow embedding.
    if ((FsType & BitmapOnly) && Result.Permission != TEmbeddingPermission::Restricted)
        Result.Permission = TEmbeddingPermission::BitmapOnly;
    return Result;
}

TFontEmbedding GetFontEmbedding(const void* Data, std::size_t Size) {
    return EmbeddingOfFlags(ReadFontEmbeddingFlags(MemoryFontReader(Data, Size)));
}

TFontEmbedding GetFontFileEmbedding(const AnsiString& FileName) {
    try {
        TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
        return EmbeddingOfFlags(ReadFontEmbeddingFlags(StreamFontReader(File)));
    } catch (const Exception&) {
        return {};  // a file that cannot be read states no licence
    }
}

bool MayEmbed(const TFontEmbedding& Embedding) {
    return Embedding.Permission != TEmbeddingPermission::Restricted &&
           Embedding.Permission != TEmbeddingPermission::BitmapOnly;
}

AnsiString EmbeddingPermissionName(TEmbeddingPermission Permission) {
    switch (Permission) {
        case TEmbeddingPermission::Installable: return "Installable";
        case TEmbeddingPermission::Editable: return "Editable";
        case TEmbeddingPermission::PreviewAndPrint: return "Preview & Print";
        case TEmbeddingPermission::BitmapOnly: return "Bitmap embedding only";
        case TEmbeddingPermission::Restricted: return "Restricted License";
    }
    return {};
}

}  // namespace Os
