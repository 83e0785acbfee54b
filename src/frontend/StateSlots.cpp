#include "frontend/StateSlots.h"

#include "core/ConsoleConstants.h"

namespace velmar {

std::filesystem::path StateSlots::File(const std::string& base, int slot) const {
    return slot <= 0 ? files_.StateFile(base) : files_.StateFile(base + "." + std::to_string(slot));
}

std::optional<std::chrono::system_clock::time_point> StateSlots::SavedAt(const std::string& base,
                                                                         int slot) const {
    std::error_code ec;
    const auto file = File(base, slot);
    if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    const auto written = std::filesystem::last_write_time(file, ec);
    if (ec) return std::nullopt;
    return std::chrono::file_clock::to_sys(written);
}

// What the slot held is read first: a state that cannot be read back is not kept for undo.
FileResult StateSlots::Save(const std::string& base, int slot,
                            std::span<const std::uint8_t> state) {
    const auto file = File(base, slot);
    std::vector<std::uint8_t> before;
    std::error_code ec;
    const bool held = std::filesystem::is_regular_file(file, ec) &&
                      ReadWholeFile(file, before, console::kStateFileSize) &&
                      before.size() == console::kStateFileSize;
    if (FileResult written = WriteFileAtomic(file, state); !written) return written;
    if (held)
        undo_ = Replaced{base, slot, std::move(before)};
    else
        undo_.reset();
    return {};
}

std::optional<int> StateSlots::UndoSlot() const {
    if (!undo_) return std::nullopt;
    return undo_->Slot;
}

FileResult StateSlots::Undo() {
    if (!undo_) return {"there is no save to undo"};
    const FileResult written = WriteFileAtomic(File(undo_->Base, undo_->Slot), undo_->State);
    if (written) undo_.reset();
    return written;
}

} // namespace velmar
