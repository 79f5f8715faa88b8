#include "platform/os/ListenerList.h"

#include "platform/SysUtils.h"

namespace Os {

int TListenerList::Add(TMessageListener Handler, HWND Window) {
    if (!Handler) throw Exception("AddBroadcastListener: no listener given");
    std::lock_guard Lock(FLock);
    auto Entry = std::make_shared<TEntry>();
    Entry->Cookie = FNextCookie++;
    Entry->Window = Window;
    Entry->Handler = std::move(Handler);
    FEntries.push_back(Entry);
    return Entry->Cookie;
}

bool TListenerList::Remove(int Cookie) {
    std::lock_guard Lock(FLock);
    for (auto It = FEntries.begin(); It != FEntries.end(); ++It)
        if ((*It)->Cookie == Cookie) {
            (*It)->Removed = true;
            FEntries.erase(It);
            break;
        }
    return FEntries.empty();
}

TListenerList::TEntries TListenerList::Select(const std::function<bool(const TEntry&)>& Pick) const {
    std::lock_guard Lock(FLock);
    TEntries Picked;
    for (const auto& Entry : FEntries)
        if (Pick(*Entry)) Picked.push_back(Entry);
    return Picked;
}

bool TListenerList::IsRemoved(const TEntry& Entry) const {
    std::lock_guard Lock(FLock);
    return Entry.Removed;
}

}  // namespace Os
