// Any bytes as a .bmp file for LoadImageA: a bitmap object whose pixels can
// all be read, or nullptr; never a crash, however the header lies.
#include <cstdint>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/os/WinResources.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::UseSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Path = FuzzSupport::InputFile(Data, Size, ".bmp");
    for (const int Scale : {0, 3}) {
        HANDLE Bitmap = LoadImageA(nullptr, Path.c_str(), IMAGE_BITMAP, Scale, Scale, LR_LOADFROMFILE);
        if (!Bitmap) return 0;
        BITMAP Info{};
        if (GetObjectA(Bitmap, sizeof Info, &Info) != sizeof Info) std::abort();
        if (Scale && (Info.bmWidth != Scale || Info.bmHeight != Scale)) std::abort();
        const LONG Count = Info.bmWidthBytes * Info.bmHeight;
        std::vector<std::uint8_t> Bits(static_cast<std::size_t>(Count));
        if (GetBitmapBits(static_cast<HBITMAP>(Bitmap), Count, Bits.data()) != Count) std::abort();
        DeleteObject(Bitmap);
    }
    return 0;
}
