#include "frontend/AboutBox.h"

#include "frontend/MainForm.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmar {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Velmar"));
    setFixedSize(289, 297);
    auto* panel = new QWidget(this);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(palette);

    auto* picture = new QLabel(panel);
    picture->setPixmap(QPixmap::fromImage(LogoWidget::MakeLogo(QSize(256, 192))));
    picture->setFixedSize(256, 192);
    auto* line = new QLabel(QStringLiteral("Master System Emulator"), panel);
    line->setObjectName(QStringLiteral("lblLine"));
    line->setAlignment(Qt::AlignCenter);
    auto* ok = new QPushButton(QStringLiteral("OK"), panel);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* inner = new QVBoxLayout(panel);
    inner->addWidget(picture, 0, Qt::AlignHCenter);
    inner->addWidget(line);
    inner->addWidget(ok, 0, Qt::AlignHCenter);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
}

} // namespace velmar
