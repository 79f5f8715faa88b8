// The POSIX font table's configuration: the sandbox's private fontconfig
// configuration (its font folders, cache and the system's rules), rebuilt
// when the font folders change (FontState.h).
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/Streams.h"
#include "platform/SysUtils.h"
#include "platform/os/Windows.h"
#include "platform/os/posix/FontState.h"
#include "platform/os/posix/OsState.h"

namespace Os::Posix {

TFontState& State() {
    static TFontState Instance;
    return Instance;
}

namespace {

std::string XmlEscaped(const std::string& Text) {
    std::string Out;
    for (const char C : Text) {
        switch (C) {
            case '&': Out += "&amp;"; break;
            case '<': Out += "&lt;"; break;
            case '>': Out += "&gt;"; break;
            default: Out += C;
        }
    }
    return Out;
}

std::uint64_t Fnv(std::uint64_t Hash, const void* Data, std::size_t Size) {
    const auto* P = static_cast<const unsigned char*>(Data);
    for (std::size_t I = 0; I < Size; ++I) Hash = (Hash ^ P[I]) * 0x100000001B3ull;
    return Hash;
}

// An order-independent digest of the folder's entries.
std::uint64_t ContentsOf(const std::string& Folder) {
    std::uint64_t Sum = 0;
    std::error_code Ec;
    for (auto It = std::filesystem::directory_iterator(Folder, Ec); !Ec && It != std::filesystem::directory_iterator();
         It.increment(Ec)) {
        const std::string Name = It->path().filename().string();
        std::uint64_t H = Fnv(0xCBF29CE484222325ull, Name.data(), Name.size());
        struct stat St;
        if (::stat(It->path().c_str(), &St) == 0) {
            H = Fnv(H, &St.st_size, sizeof St.st_size);
            H = Fnv(H, &St.st_mtim.tv_sec, sizeof St.st_mtim.tv_sec);
            H = Fnv(H, &St.st_mtim.tv_nsec, sizeof St.st_mtim.tv_nsec);
        }
        Sum += H;
    }
    return Sum;
}

TStamp StampOf(const std::string& Folder) {
    TStamp S;
    S.Folder = Folder;
    struct stat St;
    if (::stat(Folder.c_str(), &St) == 0) {
        S.Exists = true;
        S.Modified = St.st_mtim;
        S.Contents = ContentsOf(Folder);
    }
    return S;
}

bool StampChanged(const TStamp& Old) {
    const TStamp Now = StampOf(Old.Folder);
    return Now.Exists != Old.Exists || Now.Modified.tv_sec != Old.Modified.tv_sec ||
           Now.Modified.tv_nsec != Old.Modified.tv_nsec || Now.Contents != Old.Contents;
}

// The system's rule files (generic-family aliases, metric-compatible
// substitutes, synthetic emboldening and slant, rendering options), in the
// order fontconfig reads them. Files that name font folders, caches or
// further files (the user's and the local configuration) are left out: they
// would bring fonts from outside the sandbox.
std::vector<std::string> SystemRuleFiles(const std::string& SandboxRoot) {
    std::string Folder = "/etc/fonts";
    if (FcChar8* Main = FcConfigFilename(nullptr)) {
        const std::string MainFile = reinterpret_cast<const char*>(Main);
        FcStrFree(Main);
        // FONTCONFIG_FILE may point at a sandbox's own file, which has no rules
        // beside it.
        if (SandboxRoot.empty() || MainFile.rfind(SandboxRoot + "/", 0) != 0)
            Folder = std::filesystem::path(MainFile).parent_path().string();
    }
    std::vector<std::string> Files;
    std::error_code Ec;
    for (auto It = std::filesystem::directory_iterator(Folder + "/conf.d", Ec);
         !Ec && It != std::filesystem::directory_iterator(); It.increment(Ec)) {
        if (It->path().extension() != ".conf") continue;
        std::ifstream In(It->path(), std::ios::binary);
        const std::string Text((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
        if (!In.good() && !In.eof()) continue;
        bool Reaches = false;
        for (const char* Tag : {"<dir", "<include", "<cachedir", "<remap-dir", "<reset-dirs"})
            Reaches = Reaches || Text.find(Tag) != std::string::npos;
        if (!Reaches) Files.push_back(It->path().string());
    }
    std::sort(Files.begin(), Files.end());
    return Files;
}

// The sandbox's configuration: only its two font folders and its own cache,
// with the system's rules (see SystemRuleFiles). Written to
// R/fontconfig/fonts.conf as well, so that other fontconfig programs can be
// pointed at it (FONTCONFIG_FILE).
FcConfig* BuildPrivateConfig() {
    const TSystemPaths& P = Paths();
    const std::string FcFolder = P.SysRoot + "/fontconfig";
    ForceFolders(P.UserFontsFolder, 0755);
    ForceFolders(P.WindowsFolder + "/Fonts", 0755);
    ForceFolders(FcFolder + "/cache", 0700);
    const std::string ConfFile = FcFolder + "/fonts.conf";
    std::string Xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                      "<fontconfig>\n  <dir>" +
                      XmlEscaped(P.UserFontsFolder) + "</dir>\n  <dir>" + XmlEscaped(P.WindowsFolder) +
                      "/Fonts</dir>\n  <cachedir>" + XmlEscaped(FcFolder) + "/cache</cachedir>\n";
    for (const std::string& Rules : SystemRuleFiles(P.SysRoot)) {
        Xml += "  <include ignore_missing=\"yes\">" + XmlEscaped(Rules) + "</include>\n";
    }
    Xml += "</fontconfig>\n";
    {
        // Written beside and renamed into place: a second process setting up
        // the same sandbox reads the old or the new file whole, never half.
        TAtomicFileStream Out(ConfFile);
        Out.WriteBuffer(Xml.data(), static_cast<std::int64_t>(Xml.size()));
        Out.Commit();
    }
    FcConfig* Config = FcConfigCreate();
    if (!Config) throw EOutOfMemory("Out of memory");
    if (!FcConfigParseAndLoad(Config, Fc(ConfFile), FcTrue) || !FcConfigBuildFonts(Config)) {
        FcConfigDestroy(Config);
        throw EOSError(ConfFile + ": the font configuration could not be loaded", EINVAL);
    }
    return Config;
}

void Restamp(TFontState& S) {
    S.Stamps.clear();
    std::set<std::string> Folders = {Paths().UserFontsFolder};
    if (S.Private) Folders.insert(Paths().WindowsFolder + "/Fonts");
    if (FcStrList* Dirs = FcConfigGetFontDirs(S.Config)) {
        while (FcChar8* Dir = FcStrListNext(Dirs)) Folders.insert(reinterpret_cast<const char*>(Dir));
        FcStrListDone(Dirs);
    }
    for (const auto& F : Folders) S.Stamps.push_back(StampOf(F));
}

}  // namespace

// Adds the counted application fonts to the configuration again; files that
// have gone meanwhile are dropped.
void ReaddAppFonts(TFontState& S) {
    std::erase_if(S.AppFonts, [&](const TAppFont& F) { return !FcConfigAppFontAddFile(S.Config, Fc(F.FileName)); });
}

namespace {

// Builds a new configuration and makes it the process's current one.
void Rebuild(TFontState& S) {
    FcConfig* Fresh = nullptr;
    if (Sandboxed()) {
        Fresh = BuildPrivateConfig();
        S.Private = true;
    } else if (S.Config) {
        Fresh = FcInitLoadConfigAndFonts();
        if (!Fresh) throw EOSError("the font configuration could not be loaded", EINVAL);
        S.Private = false;
    } else {
        // The process's own configuration, loading it when nobody has yet.
        Fresh = FcConfigReference(nullptr);
        if (!Fresh) throw EOSError("the font configuration could not be loaded", EINVAL);
        S.Private = false;
    }
    if (Fresh != FcConfigGetCurrent()) FcConfigSetCurrent(Fresh);
    if (S.Config) FcConfigDestroy(S.Config);
    S.Config = Fresh;
    S.Metrics.clear();
    S.FullNames.clear();
    S.Coverage.clear();
    ReaddAppFonts(S);
    Restamp(S);
}

}  // namespace

FcConfig* Config() {
    auto& S = State();
    if (!S.Config) Rebuild(S);
    return S.Config;
}

void ResetFonts() {
    auto& S = State();
    if (S.Config) {
        FcConfigAppFontClear(S.Config);
        // Let the process fall back to the normal configuration, loaded when
        // next asked for.
        if (S.Private && FcConfigGetCurrent() == S.Config) FcConfigSetCurrent(nullptr);
        FcConfigDestroy(S.Config);
    }
    if (S.FreeType) FT_Done_FreeType(S.FreeType);
    S = TFontState();
}

void SyncFontConfiguration() {
    auto& S = State();
    if (!S.Config) return;  // built afresh on next use anyway
    bool Stale = !FcConfigUptoDate(S.Config);
    for (const auto& Stamp : S.Stamps) {
        if (!StampChanged(Stamp)) continue;
        Stale = true;
        // fontconfig trusts a folder's cache while the folder's time is
        // unchanged, which a quick change can leave so: have it scan again.
        FcDirCacheUnlink(Fc(Stamp.Folder), S.Config);
    }
    if (Stale) Rebuild(S);
}

}  // namespace Os::Posix

namespace Os {

void PrepareFontConfiguration() {
    std::lock_guard Lock(Posix::StateLock());
    Posix::Config();
}

void RefreshFontConfiguration() {
    std::lock_guard Lock(Posix::StateLock());
    if (!Posix::State().Config) {
        Posix::Config();  // built now, it is up to date
        return;
    }
    Posix::SyncFontConfiguration();
}

// The user font folder is the permanent installation's folder already.
TUserFonts GetUserFonts() { return TUserFonts::SameAsMachine; }

AnsiString GetUserFontsFolder() {
    std::lock_guard Lock(Posix::StateLock());
    const AnsiString Folder = Posix::Paths().UserFontsFolder;
    Posix::ForceFolders(Folder, 0755);
    return Folder + "/";
}

}  // namespace Os
