#include "frontend/GunAiming.h"
#include "frontend/MainForm.h"
#include "frontend/QtTestSupport.h"

#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace velmar {
namespace {

void Mouse(QWidget& widget, QEvent::Type type, QPointF at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget.mapToGlobal(at), button,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

TEST(GunAiming, PortChoicesPlugTheGunAndTheMouseAimsAndFires) {
    const auto dir = std::filesystem::temp_directory_path() / "velmar-form-gun";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    test::TestApplication();
    TMainForm::Options options;
    options.DataFolder = dir;
    options.OpenSoundDevice = false;
    auto form = std::make_unique<TMainForm>(options);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    TSMS& machine = *form->Machine();
    const T_INTERCONNECT_CORE& bus = machine.GetConsole().Bus;
    VideoWidget& video = form->Video();

    form->Item("mPortAGun")->trigger();
    EXPECT_TRUE(form->Item("mPortAGun")->isChecked());
    EXPECT_FALSE(form->Item("mPortAPad")->isChecked());
    EXPECT_EQ(bus.GunPort, bus::kPortA);
    EXPECT_EQ(video.cursor().shape(), Qt::CrossCursor);

    // The mouse over the picture aims there; the left button is the trigger (TL, port A bit 4).
    video.resize(512, 384);
    Mouse(video, QEvent::MouseMove, QPointF(257, 193));
    Mouse(video, QEvent::MouseButtonPress, QPointF(257, 193));
    machine.PollInput();
    EXPECT_EQ(bus.GunX, 128);
    EXPECT_EQ(bus.GunY, 96);
    EXPECT_EQ(bus.PortA & bus::kPortAPad1Button1, 0);
    Mouse(video, QEvent::MouseButtonRelease, QPointF(257, 193));
    machine.PollInput();
    EXPECT_NE(bus.PortA & bus::kPortAPad1Button1, 0);
    // In a wider window the picture keeps its shape between black bars, which it does not
    // see.
    video.resize(1024, 384);
    EXPECT_EQ(GunAiming::PicturePoint(video, QPointF(255, 100)), std::make_pair(-1, -1));
    EXPECT_EQ(GunAiming::PicturePoint(video, QPointF(767, 383)), std::make_pair(255, 191));

    // One mouse, one gun: plugging it into port B gives port A its pad back; "Pad" unplugs.
    form->Item("mPortBGun")->trigger();
    EXPECT_TRUE(form->Item("mPortAPad")->isChecked());
    EXPECT_EQ(bus.GunPort, bus::kPortB);
    form->Item("mPortBPad")->trigger();
    EXPECT_EQ(bus.GunPort, 0);
    EXPECT_EQ(video.cursor().shape(), Qt::ArrowCursor);
    form.reset();
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace velmar
