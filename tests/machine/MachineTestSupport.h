#pragma once

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

// A scratch folder removed at the end of the test.
class TempFolder {
  public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("velmar_" + std::string(info->test_suite_name()) + "_" + info->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

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

    HeadlessMachine() {
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
