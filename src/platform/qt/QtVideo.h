#pragma once

#include "platform/DisplaySurface.h"
#include "platform/TextCanvas.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <memory>

namespace velmar {

// The picture area of the window: a back surface (512 x 384 at 32 bits per pixel) that
// each frame is drawn on, and a front picture that Flip shows. The front picture is twice
// the console's 256 x 192; the widget paints it at the largest whole multiple of the
// console's picture that fits (1x, 2x, 3x ...: every console pixel the same size), centred
// on black, or, when whole multiples are switched off, as large as fits with its aspect
// kept (drawn smoothly, as when even 1x does not fit). It is drawn on the CPU: a copy at
// twice the size, and no graphics driver needed, which is the cheapest on a virtual display
// and little on a real one. Everything runs on the window thread.
class VideoWidget final : public QWidget {
  public:
    explicit VideoWidget(QWidget* parent = nullptr);

    // The rectangle the picture takes in a widget of the given size, in whole multiples of
    // half the picture's size (the console's picture) or, with whole false, as large as fits.
    static QRect PictureRect(QSize widget, QSize picture, bool whole = true);
    // The rectangle the picture takes in this widget now.
    QRect PictureArea() const;
    void SetWholeMultiples(bool on);
    bool WholeMultiples() const { return whole_; }
    const QImage& Front() const { return front_; }
    int Flips() const { return flips_; }
    void SetWaitForVerticalBlank(bool on) { vsync_ = on; }
    bool WaitForVerticalBlank() const { return vsync_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    friend class QtVideoSurface;
    void Show(QImage& back);

    QImage front_;
    int flips_ = 0;
    bool vsync_ = false;
    bool whole_ = true;
};

// The back surface and its text canvas, showing through a VideoWidget.
class QtVideoSurface final : public DisplaySurface, public TextCanvas {
  public:
    explicit QtVideoSurface(VideoWidget& widget, QImage::Format format = QImage::Format_RGB32);

    int Width() const override { return back_.width(); }
    int Height() const override { return back_.height(); }
    void Resize(int width, int height) override;
    bool Lock(SurfaceLock& lock) override;
    void Unlock() override {}
    void Flip() override;

    void SetFont(std::string_view name, int size, bool bold, CanvasColour colour) override;
    void SetBrush(CanvasColour colour) override;
    void SetPen(CanvasColour colour) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void TextOut(int left, int top, std::string_view text) override;
    void Release() override;

    const QImage& Back() const { return back_; }

  private:
    QPainter& Painter();

    VideoWidget& widget_;
    QImage back_;
    std::unique_ptr<QPainter> painter_;
    QFont font_;
    QString fontName_;
    QColor textColour_;
    QColor brush_;
    QColor pen_;
};

} // namespace velmar
