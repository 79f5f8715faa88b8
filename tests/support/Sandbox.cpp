#include "tests/support/Sandbox.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include "platform/Streams.h"
#include "platform/os/FontNames.h"
#include "platform/os/win32/WinApi.h"
#endif

namespace TestSupport {

namespace fs = std::filesystem;

#ifdef _WIN32
// On Windows the system itself is the sandbox (every test run has a fresh
// Wine prefix): the folder is the tests' own work space and, through TMP
// and TEMP, the temporary folder. The test programs of one run share the
// prefix and run one after another, so fonts are installed as the system
// installs them (file in the Windows Fonts folder, value under the Fonts
// key, added to the font table), and the destructor takes back every file
// and value that appeared there meanwhile, the tests' own installations
// included, and the Fonts folder that the registry names.
namespace {

const char* const NTFontsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// The value name the system gives a font file under the Fonts key: the full
// names of its faces, joined with " & " for a collection, and the suffix.
std::string FontsValueName(const std::string& Path) {
    TFileStream File(Path, fmOpenRead | fmShareDenyNone);
    std::string Name;
    int Face = -1;
    for (const auto& Record : Os::ReadFontNames(Os::StreamFontReader(File), {4})) {
        if (Record.Face == Face) continue;  // the first full name of each face
        Face = Record.Face;
        Name += (Name.empty() ? "" : " & ") + Record.Text;
    }
    if (Name.empty()) throw std::runtime_error(Path + " is no font");
    return Name + " (TrueType)";
}

std::vector<std::string> FontsKeyValues() {
    std::vector<std::string> Names;
    HKEY Key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, NTFontsKey, 0, KEY_QUERY_VALUE, &Key) != ERROR_SUCCESS) return Names;
    char Name[16384];
    for (DWORD I = 0;; ++I) {
        DWORD Length = sizeof Name;
        if (::RegEnumValueA(Key, I, Name, &Length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        Names.emplace_back(Name, Length);
    }
    ::RegCloseKey(Key);
    return Names;
}

std::vector<std::string> FontsFolderFiles() {
    std::vector<std::string> Files;
    std::error_code Ec;
    for (const auto& E : fs::directory_iterator(Os::GetSystemPaths().UserFontsFolder, Ec))
        Files.push_back(E.path().string());
    return Files;
}

bool Contains(const std::vector<std::string>& List, const std::string& Item) {
    return std::find(List.begin(), List.end(), Item) != List.end();
}

// The Fonts folder that the system names to every user.
const char* const ShellFoldersKey = ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::optional<std::string> ShellFontsFolder() {
    char Data[MAX_PATH * 4] = {};
    DWORD Size = sizeof Data - 1;
    if (::RegGetValueA(HKEY_USERS, ShellFoldersKey, "Fonts", RRF_RT_REG_SZ, nullptr, Data, &Size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(Data);
}

void SetShellFontsFolder(const std::optional<std::string>& Folder) {
    HKEY Key = nullptr;
    if (::RegCreateKeyExA(HKEY_USERS, ShellFoldersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &Key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (Folder)
        ::RegSetValueExA(Key, "Fonts", 0, REG_SZ, reinterpret_cast<const BYTE*>(Folder->c_str()),
                         static_cast<DWORD>(Folder->size() + 1));
    else
        ::RegDeleteValueA(Key, "Fonts");
    ::RegCloseKey(Key);
}

std::optional<std::string> Environment(const char* Name) {
    char Value[32768];
    const DWORD Length = ::GetEnvironmentVariableA(Name, Value, sizeof Value);
    if (Length == 0 || Length >= sizeof Value) return std::nullopt;
    return std::string(Value, Length);
}

}  // namespace

TSandbox::TSandbox() {
    if (const char* Previous = std::getenv("TYPECASK_SYSROOT")) FPrevious = Previous;
    for (unsigned Attempt = 0; FRoot.empty(); ++Attempt) {
        const fs::path Candidate = fs::temp_directory_path() / ("typecask-sandbox-" + std::to_string(Attempt));
        if (fs::create_directory(Candidate)) FRoot = Candidate.string();
        if (Attempt > 10000) throw std::runtime_error("cannot create a sandbox folder in " + Candidate.string());
    }
    FFontsFolderBefore = FontsFolderFiles();
    FFontsKeyBefore = FontsKeyValues();
    FShellFontsFolder = ShellFontsFolder();
    fs::create_directory(FRoot + "\\tmp");
    for (const char* Name : {"TMP", "TEMP"}) {
        FPreviousTemp.push_back(Environment(Name));
        ::SetEnvironmentVariableA(Name, (FRoot + "\\tmp").c_str());
    }
    Os::UseSysRoot(FRoot);
}

TSandbox::~TSandbox() {
    for (const auto& Path : FAdded) ::RemoveFontResourceA(Path.c_str());
    HKEY Key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, NTFontsKey, 0, KEY_SET_VALUE, &Key) == ERROR_SUCCESS) {
        for (const auto& Name : FontsKeyValues())
            if (!Contains(FFontsKeyBefore, Name)) ::RegDeleteValueA(Key, Name.c_str());
        ::RegCloseKey(Key);
    }
    TestSupport::SetShellFontsFolder(FShellFontsFolder);
    for (const auto& Path : FontsFolderFiles())
        if (!Contains(FFontsFolderBefore, Path)) {
            // Added by the tests, as often as they added it.
            for (int Adds = 0; Adds < 64 && ::RemoveFontResourceA(Path.c_str()); ++Adds) {
            }
            ::DeleteFileA(Path.c_str());
        }
    const char* Names[] = {"TMP", "TEMP"};
    for (std::size_t I = 0; I < FPreviousTemp.size(); ++I)
        ::SetEnvironmentVariableA(Names[I], FPreviousTemp[I] ? FPreviousTemp[I]->c_str() : nullptr);
    Os::UseSysRoot(FPrevious.value_or(""));
#else
TSandbox::TSandbox() {
    if (const char* Previous = std::getenv("TYPECASK_SYSROOT")) FPrevious = Previous;
    std::string Template = (fs::temp_directory_path() / "typecask-sandbox-XXXXXX").string();
    if (!::mkdtemp(Template.data())) throw std::runtime_error("cannot create a sandbox folder in " + Template);
    FRoot = Template;
    ::setenv("TYPECASK_SYSROOT", FRoot.c_str(), 1);
    Os::ResetOsServices();
}

TSandbox::~TSandbox() {
    Os::ResetOsServices();
    if (FPrevious)
        ::setenv("TYPECASK_SYSROOT", FPrevious->c_str(), 1);
    else
        ::unsetenv("TYPECASK_SYSROOT");
#endif
    std::error_code Ec;
    // Tests may leave read-only folders behind; open them up before removing.
    for (auto It = fs::recursive_directory_iterator(FRoot, Ec); !Ec && It != fs::recursive_directory_iterator();
         It.increment(Ec))
        if (It->is_directory(Ec) && !It->is_symlink(Ec)) fs::permissions(It->path(), fs::perms::owner_all, fs::perm_options::add, Ec);
    fs::remove_all(FRoot, Ec);
}

#ifdef _WIN32
void TSandbox::AddToFontTable(const std::string& Path) {
    const std::string ValueName = FontsValueName(Path);
    HKEY Key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, NTFontsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &Key, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot open the Fonts key");
    // A font of the Fonts folder is registered by its bare file name.
    const std::string Data = fs::path(Path).filename().string();
    const LONG Set = ::RegSetValueExA(Key, ValueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Data.c_str()),
                                      static_cast<DWORD>(Data.size() + 1));
    ::RegCloseKey(Key);
    if (Set != ERROR_SUCCESS) throw std::runtime_error("cannot register " + ValueName);
    if (::AddFontResourceA(Path.c_str()) == 0) throw std::runtime_error("the font table refuses " + Path);
    FAdded.push_back(Path);
}

void TSandbox::SetShellFontsFolder(const std::string& Folder) { TestSupport::SetShellFontsFolder(Folder); }

bool TSandbox::UninstallFont(const std::string& Path) {
    if (!fs::exists(Path)) return false;
    const std::string ValueName = FontsValueName(Path);
    for (int Adds = 0; Adds < 64 && ::RemoveFontResourceA(Path.c_str()); ++Adds) {
    }
    HKEY Key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, NTFontsKey, 0, KEY_SET_VALUE, &Key) == ERROR_SUCCESS) {
        ::RegDeleteValueA(Key, ValueName.c_str());
        ::RegCloseKey(Key);
    }
    return ::DeleteFileA(Path.c_str()) != 0;
}
#else
void TSandbox::AddToFontTable(const std::string&) { Os::RefreshFontConfiguration(); }

bool TSandbox::UninstallFont(const std::string& Path) {
    std::error_code Ec;
    if (!fs::remove(Path, Ec)) return false;
    Os::RefreshFontConfiguration();
    return true;
}
#endif

std::string TSandbox::InstallFont(const std::string& Family, FontGen::TFontDesign FontDesign, const std::string& FileName) {
    FontDesign.FamilyName = Family;
    const std::string Folder = Os::GetSystemPaths().UserFontsFolder;
    fs::create_directories(Folder);
    const std::string Path = Folder + PathDelim + (FileName.empty() ? Family + ".ttf" : FileName);
    FontGen::WriteTrueTypeFont(FontDesign, Path);
    AddToFontTable(Path);
    return Path;
}

bool TSandbox::InstallFontFile(const std::string& Path) {
    const std::string Folder = Os::GetSystemPaths().UserFontsFolder;
    fs::create_directories(Folder);
    const std::string Target = Folder + PathDelim + fs::path(Path).filename().string();
    std::error_code Ec;
    if (!fs::copy_file(Path, Target, fs::copy_options::overwrite_existing, Ec)) return false;
    AddToFontTable(Target);
    return true;
}

std::string TSandbox::MakeFontFile(const std::string& Family, FontGen::TFontDesign FontDesign, const std::string& FileName) {
    FontDesign.FamilyName = Family;
    fs::create_directories(FRoot + "/work");
    const std::string Path = FRoot + "/work/" + (FileName.empty() ? Family + ".ttf" : FileName);
    FontGen::WriteTrueTypeFont(FontDesign, Path);
    return Path;
}

}  // namespace TestSupport
