#include "machine/Rewinder.h"

#include "machine/Presenter.h"

namespace velmar {

using namespace machine;

Rewinder::Rewinder(Console& console) : console_(console) {}

namespace {
// Besides the save state, where the CPU stands in time: what it owes the next line from the
// last instruction of the frame, and the beam clock the video chip follows.
constexpr std::size_t kTimeBytes = 17;
constexpr std::size_t kRingStateBytes = kStateFileSize + kTimeBytes;

template <class F> void EachTimeField(T_Z80_CPU_CORE& cpu, F&& field) {
    field(cpu.OwedTStates);
    field(cpu.Clock.BudgetStart);
    field(cpu.Clock.BeforeInstruction);
    field(cpu.Clock.IntoInstruction);
}
} // namespace

// The save state, then the CPU's time.
void Rewinder::Capture() {
    console_.SaveState(writer_);
    EachTimeField(console_.Cpu, [this](std::uint32_t& v) { writer_.U32(v); });
    writer_.U8(console_.Cpu.LastOpcode);
}

void Rewinder::Restore() {
    console_.LoadState(std::span<const std::uint8_t>(state_).first(kStateFileSize));
    StateReader reader(std::span<const std::uint8_t>(state_).subspan(kStateFileSize));
    EachTimeField(console_.Cpu, [&reader](std::uint32_t& v) { reader.U32(v); });
    reader.U8(console_.Cpu.LastOpcode);
}

void Rewinder::SetRecording(bool on) {
    if (on && ring_ == nullptr) {
        ring_ = std::make_unique<RewindRing>(kRingStateBytes, kRewindCodeBytes, kRewindStates);
        state_.resize(kRingStateBytes);
    }
    recording_ = on;
    if (!on) Forget();
}

void Rewinder::Forget() {
    if (ring_ != nullptr) ring_->Clear();
    Publish();
}

void Rewinder::Publish() {
    framesKept_.store(ring_ != nullptr ? static_cast<std::uint32_t>(ring_->States()) : 0,
                      std::memory_order_relaxed);
    bytesUsed_.store(ring_ != nullptr ? ring_->BytesUsed() : 0, std::memory_order_relaxed);
}

void Rewinder::RunFrame(Presenter& presenter) {
    presenter.SoundMuted = false;
    if (!Recording()) {
        console_.EmulateFrame();
        return;
    }
    if (Rewinding.load(std::memory_order_relaxed)) {
        presenter.SoundMuted = true;
        // At the oldest state the game stands still, its last picture shown.
        if (ring_->Pop(state_)) {
            Restore();
            console_.EmulateFrame();
            Restore();
            Publish();
        }
        return;
    }
    Capture();
    ring_->Push(writer_.Data());
    Publish();
    console_.EmulateFrame();
}

} // namespace velmar
