// The widgetsets this build has, and how one is chosen: the one table of
// backends.
#include <algorithm>
#include <cstdlib>

#include "platform/widgetsets/WidgetSetBase.h"

TWidgetSet::~TWidgetSet() = default;

namespace {

std::unique_ptr<TWidgetSet>& Current() {
    static std::unique_ptr<TWidgetSet> Instance;
    return Instance;
}

[[maybe_unused]] bool DisplaySet() {  // for the rows of X and Wayland backends
    const char* X = std::getenv("DISPLAY");
    const char* Wayland = std::getenv("WAYLAND_DISPLAY");
    return (X && *X) || (Wayland && *Wayland);
}

// The backends, one row each: adding one means adding its files, its entry
// in CMakeLists.txt (which defines TYPECASK_WITH_<NAME>) and a row. Create
// returns nullptr when the backend cannot show windows here. Rows with
// Available are the ones that show real windows; when none is forced, the
// first of them that is available and can be created is taken, else
// headless.
struct TBackend {
    const char* Name;
    std::unique_ptr<TWidgetSet> (*Create)();
    bool (*Available)();
};

const TBackend Backends[] = {
    {"headless", WidgetSets::CreateHeadlessWidgetSet, nullptr},  // always present
#ifdef TYPECASK_WITH_GTK3  // left out of builds without GTK 3
    {"gtk3", WidgetSets::CreateGtk3WidgetSet, DisplaySet},
#endif
#ifdef TYPECASK_WITH_WIN32  // the desktop is always there; Create fails without a display
    {"win32", WidgetSets::CreateWin32WidgetSet, [] { return true; }},
#endif
};

}  // namespace

std::unique_ptr<TWidgetSet> CreateWidgetSet(const AnsiString& Name) {
    const auto Row = std::find_if(std::begin(Backends), std::end(Backends),
                                  [&](const TBackend& B) { return Name == B.Name; });
    if (Row == std::end(Backends)) {
        AnsiString Known;
        for (const TBackend& B : Backends) Known += (Known.empty() ? "" : ", ") + AnsiString(B.Name);
        throw EWidgetSetError(Format("Unknown widgetset \"%s\" (known: %s)", {Name, Known}));
    }
    std::unique_ptr<TWidgetSet> Set = Row->Create();
    if (!Set) throw EWidgetSetError(Format("The %s widgetset cannot open a display", {Name}));
    return Set;
}

TWidgetSet& SelectWidgetSet(const AnsiString& Name) {
    Current() = CreateWidgetSet(Name);
    return *Current();
}

std::vector<AnsiString> BuiltInWidgetSets() {
    std::vector<AnsiString> Names;
    for (const TBackend& B : Backends) Names.emplace_back(B.Name);
    return Names;
}

TWidgetSet& WidgetSet() {
    if (Current()) return *Current();
    const char* Forced = std::getenv("TYPECASK_WIDGETSET");
    if (Forced && *Forced) return SelectWidgetSet(Forced);
    for (const TBackend& B : Backends) {
        if (!B.Available || !B.Available()) continue;
        if (auto Set = B.Create()) {
            Current() = std::move(Set);
            return *Current();
        }
    }
    return SelectWidgetSet("headless");
}
