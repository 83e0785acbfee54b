#include "platform/qt/QtVideo.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPaintEvent>
#include <QRegion>

#include <algorithm>

namespace velmar {

namespace {
QColor ColourOf(CanvasColour c) {
    return QColor::fromRgb((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

int BitsOf(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGB16: return 16;
    case QImage::Format_BGR888: return 24;
    case QImage::Format_RGB32: return 32;
    default: return 0;
    }
}
} // namespace

VideoWidget::VideoWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(256, 192);
}

// A whole multiple of the console's picture (half the front picture), so every console
// pixel is the same number of screen pixels wide and high, centred on black; in an area
// smaller than that, or when whole multiples are not asked for, the picture as large as
// fits with its aspect kept.
QRect VideoWidget::PictureRect(QSize widget, QSize picture, bool whole) {
    if (picture.isEmpty() || widget.isEmpty()) return {};
    const QSize unit(std::max(1, picture.width() / 2), std::max(1, picture.height() / 2));
    const int times = std::min(widget.width() / unit.width(), widget.height() / unit.height());
    const QSize scaled =
        whole && times >= 1 ? unit * times : picture.scaled(widget, Qt::KeepAspectRatio);
    return {QPoint((widget.width() - scaled.width()) / 2, (widget.height() - scaled.height()) / 2),
            scaled};
}

QRect VideoWidget::PictureArea() const {
    return PictureRect(size(), front_.isNull() ? QSize(512, 384) : front_.size(), whole_);
}

void VideoWidget::SetWholeMultiples(bool on) {
    if (whole_ == on) return;
    whole_ = on;
    update();
}

// The back surface becomes the front picture and the old front the next back surface: the
// presentation draws every pixel of each frame, so nothing needs copying.
void VideoWidget::Show(QImage& back) {
    if (back.size() == front_.size() && back.format() == front_.format())
        front_.swap(back);
    else
        front_ = back.copy();
    ++flips_;
    update(PictureArea());
}

void VideoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = PictureArea();
    // Only the borders are filled: the picture covers the rest.
    const QRegion borders = QRegion(rect()).subtracted(target);
    for (const QRect& r : borders) painter.fillRect(r, Qt::black);
    if (target.isEmpty()) return;
    // Whole multiples of the console's picture keep their pixels square and sharp; any
    // other size is drawn smoothly.
    const int unitWidth = std::max(1, front_.width() / 2);
    const int unitHeight = std::max(1, front_.height() / 2);
    if (target.width() % unitWidth != 0 || target.height() % unitHeight != 0 ||
        target.width() / unitWidth != target.height() / unitHeight)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, front_);
}

QtVideoSurface::QtVideoSurface(VideoWidget& widget, QImage::Format format)
    : widget_(widget), back_(512, 384, format) {
    back_.fill(Qt::black);
}

void QtVideoSurface::Resize(int width, int height) {
    painter_.reset();
    back_ = QImage(width, height, back_.format());
    back_.fill(Qt::black);
}

bool QtVideoSurface::Lock(SurfaceLock& lock) {
    painter_.reset(); // the picture is written straight into the pixels
    if (back_.isNull()) return false;
    lock.Pixels = back_.bits();
    lock.Pitch = back_.bytesPerLine();
    lock.BitsPerPixel = BitsOf(back_.format());
    return true;
}

void QtVideoSurface::Flip() {
    painter_.reset();
    widget_.Show(back_);
}

QPainter& QtVideoSurface::Painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&back_);
        painter_->setBackgroundMode(Qt::OpaqueMode);
    }
    return *painter_;
}

// "Courier New" when the system has it, else its fixed-pitch font. Sizes are points at
// 96 dots per inch.
void QtVideoSurface::SetFont(std::string_view name, int size, bool bold, CanvasColour colour) {
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (wanted != fontName_) {
        fontName_ = wanted;
        QFont font(wanted);
        if (!QFontInfo(font).family().startsWith(wanted, Qt::CaseInsensitive))
            font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font_ = font;
    }
    font_.setPixelSize(std::max(1, size * 96 / 72));
    font_.setBold(bold);
    textColour_ = ColourOf(colour);
}

void QtVideoSurface::SetBrush(CanvasColour colour) {
    brush_ = ColourOf(colour);
}
void QtVideoSurface::SetPen(CanvasColour colour) {
    pen_ = ColourOf(colour);
}

void QtVideoSurface::Rectangle(int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    QPainter& p = Painter();
    p.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), brush_);
    p.setPen(pen_);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(left, top), QPoint(right - 2, bottom - 2)));
}

void QtVideoSurface::TextOut(int left, int top, std::string_view text) {
    QPainter& p = Painter();
    p.setFont(font_);
    p.setPen(textColour_);
    p.setBackground(brush_);
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    p.drawText(QPoint(left, top + QFontMetrics(font_).ascent()), s);
}

void QtVideoSurface::Release() {
    painter_.reset();
}

} // namespace velmar
