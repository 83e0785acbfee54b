#pragma once

namespace velmar {

// How a finished frame reaches the presentation side. The emulation thread calls Post()
// and then waits; the receiver arranges for TSMS::ServiceHandOver() to run on the
// presentation (window) thread, which presents the frame and releases the emulation thread.
class FrameHandOver {
  public:
    virtual ~FrameHandOver() = default;

    virtual void Post() = 0;
};

} // namespace velmar
