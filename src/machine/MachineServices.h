#pragma once

#include "platform/AviWriter.h"
#include "platform/Clock.h"
#include "platform/DisplaySurface.h"
#include "platform/FrameHandOver.h"
#include "platform/InputDevice.h"
#include "platform/StreamBuffer.h"
#include "platform/TextCanvas.h"

namespace velmar {

// The services a machine is handed. Every pointer may be null: that service is then absent
// (no picture, no sound, released pads, a clock that stands still, presentation on the
// emulation thread). The machine never owns them; they must outlive it.
struct MachineServices {
    DisplaySurface* Display = nullptr;
    TextCanvas* Canvas = nullptr;
    StreamBuffer* Sound = nullptr;
    InputDevice* Input1 = nullptr;
    InputDevice* Input2 = nullptr;
    Clock* Timer = nullptr;
    FrameHandOver* HandOver = nullptr;
    AviWriter* Avi = nullptr;
};

} // namespace velmar
