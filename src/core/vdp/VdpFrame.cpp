// Hands the finished picture to the HQ2x scaler. Kept apart from the renderer so that a
// program which never shows a picture does not need the scaler linked in.
#include "core/vdp/Vdp.h"
#include "filters/Hq2x.h"

namespace velmar {

void T_VDP_CORE::RenderFrame(std::uint8_t* dest, int bitsPerPixel, std::ptrdiff_t pitch,
                             std::uint8_t hq2x) const {
    switch (bitsPerPixel) {
    case 16: Hq2x16(FrameBuffer.data(), dest, pitch, hq2x); break;
    case 24: Hq2x24(FrameBuffer.data(), dest, pitch, hq2x); break;
    case 32: Hq2x32(FrameBuffer.data(), dest, pitch, hq2x); break;
    default: break; // other depths are left as they were
    }
}

void T_VDP_CORE::RenderFrame(std::uint8_t* dest, int bitsPerPixel, std::ptrdiff_t pitch,
                             std::uint8_t hq2x, Hq2xCache& cache) const {
    switch (bitsPerPixel) {
    case 16: Hq2x16(FrameBuffer.data(), dest, pitch, hq2x, cache); break;
    case 24: Hq2x24(FrameBuffer.data(), dest, pitch, hq2x, cache); break;
    case 32: Hq2x32(FrameBuffer.data(), dest, pitch, hq2x, cache); break;
    default: break;
    }
}

} // namespace velmar
