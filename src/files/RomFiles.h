#pragma once

#include "core/cpu/Cartridge.h"

#include <filesystem>

namespace velmar {

// Reads and checks a cartridge before anything is reset: a plain ROM file (a name ending in
// .sg is an SG-1000 cartridge, any other a Master System one), or a zip archive (a name
// ending in .zip, any case), whose first entry named *.sms or *.sg (any case) is the
// cartridge. Gives the image, or one line saying why the file cannot be played (naming the
// file, and for a zip the entry); out is changed only on success. An entry is never inflated
// past the largest cartridge file, whatever size the archive claims for it.
FileResult ReadCartridge(const std::filesystem::path& path, CartridgeImage& out);

} // namespace velmar
