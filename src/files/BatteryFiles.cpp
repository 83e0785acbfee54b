#include "files/BatteryFiles.h"

#include "machine/TSMS.h"

#include <chrono>

namespace velmar {

std::string AttachBatteryFile(TSMS& machine, const GameFiles& files) {
    const std::filesystem::path file = files.BatteryFile(machine.GetRamFileName());
    if (!machine.BatteryRamUnreadable()) {
        machine.SetBatteryFile(file);
        return {};
    }
    const std::filesystem::path spare =
        GameFiles::SpareRamFile(file, TimeStamp(std::chrono::system_clock::now()));
    machine.SetBatteryFile(spare);
    return machine.BatteryRamNotice() + "; this run's cartridge RAM goes to '" + spare.string() +
           "'";
}

} // namespace velmar
