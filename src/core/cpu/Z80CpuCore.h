#pragma once

// core/cpu: the Z80. Z80Engine (with its tables and instruction files) is the processor for
// any memory map; FlatZ80 and CpmRunner run it on 64 KB of RAM for CP/M test programs
// (library velmar_z80, no firmware needed). This header is the console's CPU, the engine on
// ConsoleMemory (work RAM, firmware, cartridge through its mapper), with its state block.

#include "core/cpu/ConsoleMemory.h"
#include "core/cpu/Z80Engine.h"
#include "core/util/StateStream.h"

#include <cstdint>

namespace velmar {

// The console's Z80: the instruction engine running on the console memory map, with its
// I/O ports and interrupt line handed to the bus. Bus provides
//   std::uint8_t ReadPort(std::uint8_t); void WritePort(std::uint8_t, std::uint8_t);
//   std::uint8_t IrqPending();
template <class Bus> class Z80CpuCore : public Z80Engine<Z80CpuCore<Bus>>, public ConsoleMemory {
  public:
    using Engine = Z80Engine<Z80CpuCore<Bus>>;

    static constexpr std::uint8_t kMemoryControlPort = 0x3E;
    static constexpr std::size_t kStateSize = 8229;

    // Console reset: clears the registers and the work RAM, maps the firmware with pages
    // 0, 1, 2 and wires the CPU to the bus. I, R, IX, IY, the interrupt state, the unused NMI lock
    // fields, RamControl, the ROM, the cartridge RAM and the firmware choice stay.
    void Reset(Bus& bus) {
        Engine::ResetRegisters();
        ResetMemory();
        bus_ = &bus;
    }

    // Port numbers are 8 bits wide. Before the first Reset no bus is wired: reads give 0xFF
    // and writes reach nobody.
    std::uint8_t ReadPort(std::uint8_t port) {
        return bus_ != nullptr ? bus_->ReadPort(port) : 0xFF;
    }

    void WritePort(std::uint8_t port, std::uint8_t value) {
        if (port == kMemoryControlPort) { // exactly 0x3E, not its mirrors
            MemoryControl = value;
            RebuildMemoryMap();
        }
        if (bus_ != nullptr) bus_->WritePort(port, value);
    }

    std::uint8_t IrqPending() { return bus_ != nullptr ? bus_->IrqPending() : 0; }

    // The CPU block of a save state, 8,229 bytes from position 0.
    void SaveState(StateWriter& out) {
        out.Rewind();
        SerializeState(out);
    }

    // Reads the block back; a short block fills the fields it covers. A bank count of 0 is
    // taken as 1.
    void LoadState(StateReader& in) {
        in.Rewind();
        SerializeState(in);
        if (BankCount == 0) BankCount = 1;
        RebuildMemoryMap();
    }

    template <class Stream> void SerializeState(Stream& s) {
        s.Bytes(WorkRam.data(), WorkRam.size());
        s.Bytes(PageRegisters.data(), PageRegisters.size());
        s.U8(RamControl);
        s.U8(BankCount);
        s.U8(this->Halted);
        s.U8(this->IM);
        s.U8(this->IFF1);
        s.U8(this->IFF2);
        s.U8(MemoryControl);
        for (std::uint8_t* reg :
             {&this->A, &this->A2, &this->B, &this->B2, &this->C, &this->C2, &this->D, &this->D2,
              &this->E, &this->E2, &this->H, &this->H2, &this->L, &this->L2, &this->F, &this->F2})
            s.U8(*reg);
        s.U8(this->I);
        s.U8(this->R);
        s.U16(this->SP);
        s.U16(this->PC);
        s.U16(this->IX);
        s.U16(this->IY);
    }

  private:
    Bus* bus_ = nullptr;
};

// The console's CPU, wired to the console's I/O bus (core/bus/Interconnect.h).
class T_INTERCONNECT_CORE;
using T_Z80_CPU_CORE = Z80CpuCore<T_INTERCONNECT_CORE>;

} // namespace velmar
