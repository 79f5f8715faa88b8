// The module list, kept alike on every system: the modules the program
// registered (its packages), how often, and their resources, read once on
// first use. Each OS backend supplies the two things that are its system's.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/os/WinResources.h"

namespace Os::ModuleList {

// The main program's module.
HINSTANCE MainModule();

// The resources of Instance: from Memory (a .res image of Size bytes) when
// it is given, otherwise from the module itself; nullptr when they cannot be
// read (unreadable resources read as none).
std::shared_ptr<const TResourceImage> ReadResources(HINSTANCE Instance, const void* Memory, std::size_t Size);

}  // namespace Os::ModuleList
