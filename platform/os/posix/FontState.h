// What the font files of the POSIX layer share: the process's fontconfig
// configuration and the caches built on it. Included only by Fonts.cpp and
// FontConfiguration.cpp.
#pragma once

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <time.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/Windows.h"

namespace Os::Posix {

// What a font folder looked like when the configuration was built. File
// times are kept with the coarse clock of the kernel, so a file added right
// after the configuration was built may leave the folder's time as it was;
// the contents (names, sizes and times of the entries) tell it all the same.
struct TStamp {
    std::string Folder;
    bool Exists = false;
    timespec Modified{};
    std::uint64_t Contents = 0;
};

struct TFaceMetrics {
    TEXTMETRICA Text{};
};

struct TFontState {
    FcConfig* Config = nullptr;  // our reference
    bool Private = false;        // the sandbox's own configuration
    std::vector<TAppFont> AppFonts;
    std::vector<TStamp> Stamps;
    std::map<std::pair<std::string, int>, TFaceMetrics> Metrics;
    std::map<std::pair<std::string, int>, std::string> FullNames;  // as the Fonts key names the faces
    // Folded family name -> the character map of its most regular face.
    std::map<std::string, std::vector<TUnicodeRange>> Coverage;
    FT_Library FreeType = nullptr;
};

TFontState& State();

inline const FcChar8* Fc(const std::string& S) { return reinterpret_cast<const FcChar8*>(S.c_str()); }

// Adds the counted application fonts to the configuration again; files that
// have gone meanwhile are dropped.
void ReaddAppFonts(TFontState& S);

// The configuration in use, built on first use after a reset.
FcConfig* Config();

}  // namespace Os::Posix
