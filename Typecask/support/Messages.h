// The package's string table as a source of LoadStr (and so of ETypecask):
// the texts come from the package module's own string resources.
#pragma once

// Registers the source; a second call does nothing.
void RegisterTypecaskMessages();
// Removes it again; without a registration nothing happens.
void UnregisterTypecaskMessages();
