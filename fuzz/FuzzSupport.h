// What the fuzz targets of outside data share: a sandbox root of their own
// (registry, fonts and temporary folder), the headless widgetset, and the
// input written to a file for the readers that take file names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Classes.h"
#include "platform/ObjectText.h"
#include "platform/os/SysRoot.h"

namespace FuzzSupport {

// Once per process, before the first input. The sandbox goes when the run
// ends normally; a crash leaves it for a look.
inline void UseSandbox() {
    static char Folder[] = "/tmp/typecask-fuzz-XXXXXX";
    static const bool Done = [] {
        if (!::mkdtemp(Folder)) std::abort();
        std::atexit([] {
            std::error_code Ignored;
            std::filesystem::remove_all(Folder, Ignored);
        });
        ::setenv("TYPECASK_WIDGETSET", "headless", 1);
        Os::UseSysRoot(Folder);
        return true;
    }();
    (void)Done;
}

// The input as the file sandbox/input<Suffix>, replaced for each input.
inline std::string InputFile(const std::uint8_t* Data, std::size_t Size, const char* Suffix) {
    const std::string Path = Os::GetSystemPaths().SysRoot + "/input" + Suffix;
    std::FILE* F = std::fopen(Path.c_str(), "wb");
    if (!F || (Size && std::fwrite(Data, 1, Size, F) != Size) || std::fclose(F) != 0) std::abort();
    return Path;
}

inline std::string BinaryToText(const std::string& Binary) {
    TMemoryStream In, Out;
    In.WriteBuffer(Binary.data(), static_cast<std::int64_t>(Binary.size()));
    In.SetPosition(0);
    ObjectBinaryToText(&In, &Out);
    return {reinterpret_cast<const char*>(Out.GetMemory()), static_cast<std::size_t>(Out.GetSize())};
}

inline std::string TextToBinary(const std::string& Text) {
    TMemoryStream In, Out;
    In.WriteBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
    In.SetPosition(0);
    ObjectTextToBinary(&In, &Out);
    return {reinterpret_cast<const char*>(Out.GetMemory()), static_cast<std::size_t>(Out.GetSize())};
}

// The text form of a binary form converts back, and the result shows as the
// same text: nothing the converter writes is lost or changed on the way
// back. Aborts otherwise.
inline void CheckTextRoundTrip(const std::string& Binary) {
    const std::string Text = BinaryToText(Binary);
    std::string Again;
    try {
        Again = BinaryToText(TextToBinary(Text));
    } catch (const Exception& E) {
        std::fprintf(stderr, "the text form does not convert back: %s\n%s\n", E.GetMessage().c_str(), Text.c_str());
        std::abort();
    }
    if (Again != Text) {
        std::fprintf(stderr, "the text form changes on the way back:\n%s\n---\n%s\n", Text.c_str(), Again.c_str());
        std::abort();
    }
}

}  // namespace FuzzSupport
