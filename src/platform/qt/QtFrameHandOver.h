#pragma once

#include "platform/FrameHandOver.h"

#include <QObject>

#include <functional>

namespace velmar {

// Hands a finished frame to the window thread: Post (called on the emulation thread)
// queues a call of the receiver's function on the thread of the context object.
class QtFrameHandOver final : public FrameHandOver {
  public:
    QtFrameHandOver(QObject* context, std::function<void()> receiver)
        : context_(context), receiver_(std::move(receiver)) {}

    void Post() override { QMetaObject::invokeMethod(context_, receiver_, Qt::QueuedConnection); }

  private:
    QObject* context_;
    std::function<void()> receiver_;
};

} // namespace velmar
