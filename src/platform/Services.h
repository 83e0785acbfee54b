#pragma once

// platform (velmar_platform_api, header only): the services the machine calls, as
// interfaces: the display surface and its text canvas, the looping sound stream, the input
// devices, the clock, the frame hand-over to the window thread, the AVI writer and the
// processor check. Backends live in subfolders, each its own library: null (headless
// stand-ins), chrono (the wall clock), ffmpeg (AVI capture); they never include the machine.

#include "platform/AviWriter.h"
#include "platform/Clock.h"
#include "platform/CpuFeatures.h"
#include "platform/DisplaySurface.h"
#include "platform/FrameHandOver.h"
#include "platform/InputDevice.h"
#include "platform/StreamBuffer.h"
#include "platform/TextCanvas.h"
