#include "frontend/LogoWidget.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

namespace velmar {

LogoWidget::LogoWidget(std::function<void()> onClick, QWidget* parent)
    : QWidget(parent), onClick_(std::move(onClick)), logo_(MakeLogo(QSize(512, 384))) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void LogoWidget::SetHint(const QString& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    update();
}

QImage LogoWidget::MakeLogo(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0.0, QColor(8, 16, 48));
    sky.setColorAt(1.0, QColor(40, 8, 56));
    p.fillRect(image.rect(), sky);
    // A pad outline and the name.
    const qreal u = size.width() / 512.0;
    p.setPen(QPen(QColor(90, 200, 255), 4 * u));
    p.setBrush(QColor(20, 30, 70));
    p.drawRoundedRect(QRectF(136 * u, 70 * u, 240 * u, 110 * u), 30 * u, 30 * u);
    p.setBrush(QColor(90, 200, 255));
    p.drawRect(QRectF(170 * u, 115 * u, 40 * u, 12 * u));
    p.drawRect(QRectF(184 * u, 101 * u, 12 * u, 40 * u));
    p.setBrush(QColor(255, 90, 120));
    p.drawEllipse(QPointF(310 * u, 128 * u), 12 * u, 12 * u);
    p.drawEllipse(QPointF(342 * u, 112 * u), 12 * u, 12 * u);
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setBold(true);
    title.setPixelSize(static_cast<int>(64 * u));
    p.setFont(title);
    p.setPen(QColor(255, 220, 90));
    p.drawText(QRectF(0, 200 * u, size.width(), 80 * u), Qt::AlignCenter, QStringLiteral("VELMAR"));
    QFont small = title;
    small.setBold(false);
    small.setPixelSize(std::max(8, static_cast<int>(18 * u)));
    p.setFont(small);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 290 * u, size.width(), 40 * u), Qt::AlignCenter,
               QStringLiteral("Master System Emulator"));
    return image;
}

void LogoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), logo_);
    if (hint_.isEmpty()) return;
    QFont font = painter.font();
    font.setPixelSize(std::max(10, height() / 28));
    painter.setFont(font);
    painter.setPen(QColor(200, 200, 220));
    const int line = painter.fontMetrics().height();
    painter.drawText(QRect(0, height() - 2 * line, width(), line), Qt::AlignCenter, hint_);
}

void LogoWidget::mousePressEvent(QMouseEvent*) {
    if (onClick_) onClick_();
}

void LogoWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (!event->isAutoRepeat() &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        if (onClick_) onClick_();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace velmar
