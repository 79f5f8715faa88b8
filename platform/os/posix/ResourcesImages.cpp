// Bitmaps on POSIX: device-independent bitmaps from resources or .bmp files,
// decoded into 32-bit bitmap objects that LoadImageA hands out.
#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/Streams.h"
#include "platform/os/Drawing.h"
#include "platform/os/WinResources.h"

// A bitmap object: rows top-down, one 0xAARRGGBB value per pixel.
struct HBITMAP__ {
    LONG Width = 0;
    LONG Height = 0;
    std::vector<std::uint32_t> Pixels;
};

namespace {

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr DWORD BI_ALPHABITFIELDS = 6;
constexpr std::uint64_t MaxPixels = 64u << 20;
constexpr std::uint64_t MaxBitmapFile = 256u << 20;

struct TLiveBitmaps {
    std::mutex Lock;
    std::unordered_set<HBITMAP__*> Bitmaps;
};

TLiveBitmaps& Live() {
    static TLiveBitmaps Instance;
    return Instance;
}

WORD ReadWord(const std::uint8_t* P) { return static_cast<WORD>(P[0] | (P[1] << 8)); }

DWORD ReadDword(const std::uint8_t* P) {
    return static_cast<DWORD>(P[0]) | (static_cast<DWORD>(P[1]) << 8) | (static_cast<DWORD>(P[2]) << 16) |
           (static_cast<DWORD>(P[3]) << 24);
}

[[noreturn]] void BadBitmap(const char* What) { throw Os::EResourceError(AnsiString("Invalid bitmap: ") + What); }

// One colour channel of a bit-field pixel, scaled to 0..255.
std::uint32_t Channel(std::uint32_t Pixel, std::uint32_t Mask) {
    if (Mask == 0) return 0;
    const int Shift = std::countr_zero(Mask);
    const int Bits = std::min(std::popcount(Mask), 32 - Shift);
    const std::uint64_t Max = (std::uint64_t{1} << Bits) - 1;
    return static_cast<std::uint32_t>((((Pixel & Mask) >> Shift) * 255u + Max / 2) / Max);
}

// Decodes a packed DIB: a BITMAPINFOHEADER (or BITMAPCOREHEADER, or one of
// the longer headers), colour masks, palette and pixels. BitsOffset, when not
// zero, is where the pixels start (the offset of a .bmp file's header).
std::unique_ptr<HBITMAP__> DecodeDib(const std::uint8_t* Data, std::size_t Size, std::size_t BitsOffset = 0) {
    if (Size < 12) BadBitmap("truncated header");
    const DWORD HeaderSize = ReadDword(Data);
    std::int64_t Width, Height;
    unsigned BitCount;
    DWORD Compression = BI_RGB, ColoursUsed = 0;
    std::uint32_t Masks[3] = {0, 0, 0};
    std::size_t PaletteOffset, EntrySize = 4;
    if (HeaderSize == 12) {
        Width = ReadWord(Data + 4);
        Height = ReadWord(Data + 6);
        BitCount = ReadWord(Data + 10);
        PaletteOffset = 12;
        EntrySize = 3;
    } else if (HeaderSize >= 40 && HeaderSize <= Size) {
        Width = static_cast<std::int32_t>(ReadDword(Data + 4));
        Height = static_cast<std::int32_t>(ReadDword(Data + 8));
        BitCount = ReadWord(Data + 14);
        Compression = ReadDword(Data + 16);
        ColoursUsed = ReadDword(Data + 32);
        PaletteOffset = HeaderSize;
        if (Compression == BI_BITFIELDS || Compression == BI_ALPHABITFIELDS) {
            // Longer headers hold the masks; a plain info header is followed
            // by them.
            const std::size_t MaskOffset = 40;
            if (HeaderSize == 40) PaletteOffset += Compression == BI_ALPHABITFIELDS ? 16 : 12;
            if (MaskOffset + 12 > Size) BadBitmap("truncated colour masks");
            for (int I = 0; I < 3; ++I) Masks[I] = ReadDword(Data + MaskOffset + 4 * I);
        }
    } else {
        BadBitmap("unknown header");
    }
    const bool TopDown = Height < 0;
    if (TopDown) Height = -Height;
    if (Width <= 0 || Height <= 0 || Width > Os::MaxImageSide || Height > Os::MaxImageSide ||
        static_cast<std::uint64_t>(Width * Height) > MaxPixels)
        BadBitmap("bad size");
    if (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 16 && BitCount != 24 && BitCount != 32)
        BadBitmap("unsupported bit count");
    const bool BitFields = Compression == BI_BITFIELDS || Compression == BI_ALPHABITFIELDS;
    if (Compression != BI_RGB && !(BitFields && (BitCount == 16 || BitCount == 32)))
        BadBitmap("compressed bitmaps are not supported");
    if (!BitFields) {
        if (BitCount == 16) {
            Masks[0] = 0x7C00, Masks[1] = 0x03E0, Masks[2] = 0x001F;
        } else {
            Masks[0] = 0xFF0000, Masks[1] = 0x00FF00, Masks[2] = 0x0000FF;
        }
    }

    std::size_t PaletteSize = 0;
    if (BitCount <= 8) PaletteSize = ColoursUsed ? ColoursUsed : (std::size_t{1} << BitCount);
    else PaletteSize = ColoursUsed;  // an optional palette that true-colour pixels do not use
    if (PaletteOffset > Size || PaletteSize > (Size - PaletteOffset) / EntrySize) BadBitmap("truncated palette");
    std::vector<std::uint32_t> Palette(256, 0xFF000000u);
    for (std::size_t I = 0; I < std::min<std::size_t>(PaletteSize, 256); ++I) {
        const std::uint8_t* E = Data + PaletteOffset + I * EntrySize;
        Palette[I] = 0xFF000000u | (std::uint32_t{E[2]} << 16) | (std::uint32_t{E[1]} << 8) | E[0];
    }

    const std::uint64_t Stride = ((static_cast<std::uint64_t>(Width) * BitCount + 31) / 32) * 4;
    const std::size_t Bits = BitsOffset ? BitsOffset : PaletteOffset + PaletteSize * EntrySize;
    if (Bits > Size || Stride * static_cast<std::uint64_t>(Height) > Size - Bits) BadBitmap("truncated pixels");

    auto Bitmap = std::make_unique<HBITMAP__>();
    Bitmap->Width = static_cast<LONG>(Width);
    Bitmap->Height = static_cast<LONG>(Height);
    Bitmap->Pixels.resize(static_cast<std::size_t>(Width * Height));
    for (std::int64_t Row = 0; Row < Height; ++Row) {
        const std::uint8_t* Line = Data + Bits + Stride * static_cast<std::uint64_t>(TopDown ? Row : Height - 1 - Row);
        std::uint32_t* Out = Bitmap->Pixels.data() + Row * Width;
        for (std::int64_t X = 0; X < Width; ++X) {
            std::uint32_t Pixel;
            switch (BitCount) {
                case 1: Pixel = Palette[(Line[X / 8] >> (7 - X % 8)) & 1]; break;
                case 4: Pixel = Palette[(Line[X / 2] >> (X % 2 ? 0 : 4)) & 0xF]; break;
                case 8: Pixel = Palette[Line[X]]; break;
                case 24:
                    Pixel = 0xFF000000u | (std::uint32_t{Line[3 * X + 2]} << 16) |
                            (std::uint32_t{Line[3 * X + 1]} << 8) | Line[3 * X];
                    break;
                default: {
                    const std::uint32_t Value = BitCount == 16 ? ReadWord(Line + 2 * X) : ReadDword(Line + 4 * X);
                    Pixel = 0xFF000000u | (Channel(Value, Masks[0]) << 16) | (Channel(Value, Masks[1]) << 8) |
                            Channel(Value, Masks[2]);
                }
            }
            Out[X] = Pixel;
        }
    }
    return Bitmap;
}

std::unique_ptr<HBITMAP__> Scaled(std::unique_ptr<HBITMAP__> Source, LONG Width, LONG Height) {
    if ((Width == 0 || Width == Source->Width) && (Height == 0 || Height == Source->Height)) return Source;
    auto Result = std::make_unique<HBITMAP__>();
    Result->Width = Width ? Width : Source->Width;
    Result->Height = Height ? Height : Source->Height;
    if (static_cast<std::uint64_t>(Result->Width) * static_cast<std::uint64_t>(Result->Height) > MaxPixels)
        BadBitmap("bad size");
    Result->Pixels.resize(static_cast<std::size_t>(Result->Width) * static_cast<std::size_t>(Result->Height));
    for (LONG Y = 0; Y < Result->Height; ++Y) {
        const LONG SourceY = static_cast<LONG>(static_cast<std::int64_t>(Y) * Source->Height / Result->Height);
        for (LONG X = 0; X < Result->Width; ++X) {
            const LONG SourceX = static_cast<LONG>(static_cast<std::int64_t>(X) * Source->Width / Result->Width);
            Result->Pixels[static_cast<std::size_t>(Y) * static_cast<std::size_t>(Result->Width) +
                           static_cast<std::size_t>(X)] =
                Source->Pixels[static_cast<std::size_t>(SourceY) * static_cast<std::size_t>(Source->Width) +
                               static_cast<std::size_t>(SourceX)];
        }
    }
    return Result;
}

std::unique_ptr<HBITMAP__> LoadBitmapFile(const AnsiString& FileName) {
    TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
    const std::int64_t Size = File.GetSize();
    if (Size < 14 + 12 || static_cast<std::uint64_t>(Size) > MaxBitmapFile) BadBitmap("not a bitmap file");
    std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Size));
    File.ReadBuffer(Bytes.data(), Size);
    if (Bytes[0] != 'B' || Bytes[1] != 'M') BadBitmap("not a bitmap file");
    const DWORD BitsOffset = ReadDword(Bytes.data() + 10);
    if (BitsOffset <= 14 || BitsOffset >= Bytes.size()) BadBitmap("bad pixel offset");
    return DecodeDib(Bytes.data() + 14, Bytes.size() - 14, BitsOffset - 14);
}

HBITMAP__* FindLive(HGDIOBJ Object) {
    auto& L = Live();
    std::lock_guard Guard(L.Lock);
    auto It = L.Bitmaps.find(static_cast<HBITMAP__*>(Object));
    return It == L.Bitmaps.end() ? nullptr : *It;
}

}  // namespace

HANDLE LoadImageA(HINSTANCE Instance, LPCSTR Name, UINT Type, int Width, int Height, UINT Flags) {
    if (Type != IMAGE_BITMAP || !Name || Width < 0 || Height < 0 || ((Flags & LR_LOADFROMFILE) && IS_INTRESOURCE(Name))) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return nullptr;
    }
    try {
        std::unique_ptr<HBITMAP__> Bitmap;
        if (Flags & LR_LOADFROMFILE) {
            Bitmap = LoadBitmapFile(Name);
        } else {
            const auto Image = Os::GetModuleResources(Instance);
            const auto* Entry = Image ? Image->Find(RT_BITMAP, Name) : nullptr;
            if (!Entry) {
                SetLastError(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
                return nullptr;
            }
            Bitmap = DecodeDib(Entry->Data, Entry->Size);
        }
        Bitmap = Scaled(std::move(Bitmap), Width, Height);
        auto& L = Live();
        std::lock_guard Guard(L.Lock);
        L.Bitmaps.insert(Bitmap.get());
        return Bitmap.release();
    } catch (const EFOpenError&) {
        SetLastError(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    } catch (const Exception&) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_DATA));
    }
    return nullptr;
}

HBITMAP LoadBitmapA(HINSTANCE Instance, LPCSTR BitmapName) {
    return static_cast<HBITMAP>(LoadImageA(Instance, BitmapName, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

BOOL DeleteObject(HGDIOBJ Object) {
    auto& L = Live();
    std::unique_ptr<HBITMAP__> Bitmap;
    {
        std::lock_guard Guard(L.Lock);
        auto It = L.Bitmaps.find(static_cast<HBITMAP__*>(Object));
        if (It == L.Bitmaps.end()) {
            SetLastError(static_cast<DWORD>(ERROR_INVALID_HANDLE));
            return FALSE;
        }
        Bitmap.reset(*It);
        L.Bitmaps.erase(It);
    }
    return TRUE;
}

int GetObjectA(HGDIOBJ Object, int BufferSize, LPVOID Buffer) {
    HBITMAP__* Bitmap = FindLive(Object);
    if (!Bitmap) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_HANDLE));
        return 0;
    }
    if (!Buffer) return sizeof(BITMAP);
    if (BufferSize < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP Info{0, Bitmap->Width, Bitmap->Height, Bitmap->Width * 4, 1, 32, Bitmap->Pixels.data()};
    std::memcpy(Buffer, &Info, sizeof(Info));
    return sizeof(BITMAP);
}

LONG GetBitmapBits(HBITMAP Bitmap, LONG Count, LPVOID Bits) {
    HBITMAP__* Object = FindLive(Bitmap);
    if (!Object || !Bits || Count <= 0) return 0;
    const std::size_t Bytes = std::min(static_cast<std::size_t>(Count), Object->Pixels.size() * 4);
    std::memcpy(Bits, Object->Pixels.data(), Bytes);
    return static_cast<LONG>(Bytes);
}
