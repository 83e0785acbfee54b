// A machine for the benchmarks: null sound stream and clock, reset, and running a test
// program or the firmware alone.
#pragma once

#include "machine/TSMS.h"
#include "platform/null/NullClock.h"
#include "platform/null/NullStreamBuffer.h"

#include <filesystem>
#include <memory>
#include <string>

namespace velmar::bench {

class HeadlessMachine {
  public:
    // rom: a test program's file name in the build's program folder, or null for the
    // firmware alone.
    explicit HeadlessMachine(const char* rom) {
        services_.Sound = &sound_;
        services_.Timer = &clock_;
        machine_ = std::make_unique<TSMS>(services_);
        machine_->Reset();
        if (rom == nullptr) {
            machine_->RunBios();
            return;
        }
        const std::filesystem::path file = std::filesystem::path(VELMAR_TEST_ROM_DIR) / rom;
        if (const Result loaded = machine_->LoadCartridge(file); !loaded) {
            error_ = "cannot load " + file.string() + ": " + loaded.error;
        }
    }
    HeadlessMachine(const HeadlessMachine&) = delete;
    HeadlessMachine& operator=(const HeadlessMachine&) = delete;

    bool Loaded() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    TSMS* operator->() { return machine_.get(); }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) machine_->RunFrame();
    }

  private:
    NullStreamBuffer sound_;
    NullClock clock_;
    MachineServices services_;
    std::unique_ptr<TSMS> machine_;
    std::string error_;
};

} // namespace velmar::bench
