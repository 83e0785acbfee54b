#pragma once

#include "TestSupport.h"
#include "machine/TSMS.h"
#include "platform/null/NullClock.h"
#include "platform/null/NullDisplay.h"
#include "platform/null/NullStreamBuffer.h"
#include "platform/null/ScriptedInput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velmar::testing {

// Writes a cartridge image; all zero bytes make an endless NOP slide.
inline std::filesystem::path WriteRom(const std::filesystem::path& file,
                                      std::vector<std::uint8_t> bytes) {
    if (!WriteFileAtomic(file, bytes)) ADD_FAILURE() << "cannot write " << file;
    return file;
}

// A machine with headless stand-ins for every service.
struct HeadlessMachine {
    NullDisplay Display;
    NullStreamBuffer Sound;
    ScriptedInput Input1;
    ScriptedInput Input2;
    FakeClock Clock;
    std::unique_ptr<TSMS> Machine;

    // The clock counts 1000 ticks a second unless told otherwise.
    explicit HeadlessMachine(std::int64_t clockFrequency = 1000) : Clock(clockFrequency) {
        MachineServices services;
        services.Display = &Display;
        services.Sound = &Sound;
        services.Input1 = &Input1;
        services.Input2 = &Input2;
        services.Timer = &Clock;
        Machine = std::make_unique<TSMS>(services);
    }
    TSMS* operator->() { return Machine.get(); }
};

} // namespace velmar::testing
