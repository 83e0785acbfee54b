#pragma once

#include "files/GameFiles.h"

#include <string>

namespace velmar {

class TSMS;

// Points a machine's battery RAM at its file once SetRamFileName has read it: the game's own
// file (RAM/BIOS.RAM in the data folder for a firmware run), or, when a save exists but could
// not be read, a spare file beside it, so the save is never written over. Returns one line for
// the user when that happened (naming the spare), else an empty string.
std::string AttachBatteryFile(TSMS& machine, const GameFiles& files);

} // namespace velmar
