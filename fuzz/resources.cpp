// Any bytes as a resource file (a .res image, or an ELF file with a ".rsrc"
// section), read the ways a program reads its resources: the entries, every
// string of the string tables, the version block and its values, and each
// bitmap, also through a module registered with the bytes in memory.
// Malformed data gives EResourceError or a failed Win32 call, never a crash.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/os/WinResources.h"

namespace {

void ReadVersion(const std::string& Path) {
    DWORD Handle = 0;
    const DWORD Size = GetFileVersionInfoSizeA(Path.c_str(), &Handle);
    if (Size == 0) return;
    std::vector<std::uint8_t> Block(Size);
    if (!GetFileVersionInfoA(Path.c_str(), Handle, Size, Block.data())) return;
    void* Value = nullptr;
    UINT Length = 0;
    for (const char* Sub : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904E4\\FileVersion"})
        if (VerQueryValueA(Block.data(), Sub, &Value, &Length) && Length && !Value) std::abort();
    // Every listed string is found by its names, with the listed text.
    for (const auto& S : Os::ListVersionStrings(Block.data())) {
        const std::string Sub = "\\StringFileInfo\\" + S.Table + "\\" + S.Key;
        if (!VerQueryValueA(Block.data(), Sub.c_str(), &Value, &Length) || !Value ||
            std::strcmp(static_cast<const char*>(Value), S.Value.c_str()) != 0)
            std::abort();
    }
}

void ReadBitmap(HINSTANCE Instance, LPCSTR Name) {
    HANDLE Bitmap = LoadImageA(Instance, Name, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
    if (!Bitmap) return;
    BITMAP Info{};
    if (GetObjectA(Bitmap, sizeof Info, &Info) != sizeof Info) std::abort();
    const LONG Count = Info.bmWidthBytes * Info.bmHeight;
    std::vector<std::uint8_t> Bits(static_cast<std::size_t>(Count));
    if (GetBitmapBits(static_cast<HBITMAP>(Bitmap), Count, Bits.data()) != Count) std::abort();
    DeleteObject(Bitmap);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::UseSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Path = FuzzSupport::InputFile(Data, Size, ".res");
    try {
        const auto Image = Os::TResourceImage::FromFile(Path);
        Os::ListResStrings(*Image);
    } catch (const Exception&) {
    }
    ReadVersion(Path);

    // The same bytes as the resources of a module, copied to the byte so
    // that the sanitizer sees any read past them.
    static int Anchor;
    const auto Instance = reinterpret_cast<HINSTANCE>(&Anchor);
    const auto Copy = std::make_unique<std::uint8_t[]>(Size + 1);
    if (Size) std::memcpy(Copy.get(), Data, Size);
    Os::RegisterModule(Instance, Copy.get(), Size);
    if (const auto Image = Os::GetModuleResources(Instance)) {
        for (const auto& Entry : Image->GetEntries()) {
            if (!(Entry.Type.IsOrdinal() && Entry.Type.Id == 2)) continue;
            const AnsiString Name = Entry.Name.ToString();
            ReadBitmap(Instance, Entry.Name.IsOrdinal() ? MAKEINTRESOURCEA(Entry.Name.Id) : Name.c_str());
        }
        for (const auto& [Id, Text] : Os::ListResStrings(*Image)) {
            char Buffer[8];
            if (LoadStringA(Instance, Id, Buffer, sizeof Buffer) >= static_cast<int>(sizeof Buffer)) std::abort();
        }
    }
    Os::UnregisterModule(Instance);
    return 0;
}
