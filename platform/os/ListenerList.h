// The broadcast listeners of a process (AddBroadcastListener), kept alike
// by every backend. Each has a cookie and may name its window. Delivery
// takes a snapshot and calls the handlers outside the list's lock, so that a
// handler may add or remove listeners; one removed meanwhile is skipped.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/os/WinMessages.h"

namespace Os {

class TListenerList {
public:
    struct TEntry {
        int Cookie = 0;
        HWND Window = nullptr;
        TMessageListener Handler;
        bool Removed = false;
    };
    using TEntries = std::vector<std::shared_ptr<TEntry>>;

    // Adds Handler (an empty one is refused); returns its cookie.
    int Add(TMessageListener Handler, HWND Window);
    // Removes the listener of Cookie, if there is one; true when the list is
    // empty afterwards.
    bool Remove(int Cookie);
    // The listeners that Pick accepts, in the order they were added.
    TEntries Select(const std::function<bool(const TEntry&)>& Pick) const;
    // Whether Entry has been removed since it was selected.
    bool IsRemoved(const TEntry& Entry) const;

private:
    mutable std::mutex FLock;
    TEntries FEntries;
    int FNextCookie = 1;
};

}  // namespace Os
