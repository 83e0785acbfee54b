#include "frontend/QtTestSupport.h"
#include "platform/qt/QtKeyboard.h"

#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace velmar {
namespace {

TEST(KeyTable, PhysicalKeysGiveWindowsCodes) {
    struct Case {
        int QtKey;
        bool Keypad;
        std::uint32_t Xkb; // 0: no scan code
        std::uint8_t Code;
        std::uint8_t Generic;
    };
    const Case cases[] = {
        {Qt::Key_A, false, 0, 'A', 0},          {Qt::Key_Z, false, 52, 'Z', 0},
        {Qt::Key_1, false, 10, '1', 0},         {Qt::Key_Exclam, false, 10, '1', 0}, // Shift+1
        {Qt::Key_Exclam, false, 0, '1', 0},     {Qt::Key_ParenRight, false, 0, '0', 0},
        {Qt::Key_Left, false, 113, 37, 0},      {Qt::Key_Up, false, 0, 38, 0},
        {Qt::Key_Return, false, 36, 13, 0},     {Qt::Key_Enter, true, 104, 13, 0},
        {Qt::Key_Space, false, 65, 32, 0},      {Qt::Key_Escape, false, 9, 27, 0},
        {Qt::Key_F1, false, 67, 112, 0},        {Qt::Key_F12, false, 96, 123, 0},
        {Qt::Key_F5, false, 0, 116, 0},         {Qt::Key_Shift, false, 50, 160, 16},
        {Qt::Key_Shift, false, 62, 161, 16},    {Qt::Key_Control, false, 105, 163, 17},
        {Qt::Key_Alt, false, 64, 164, 18},      {Qt::Key_7, true, 79, 103, 0},
        {Qt::Key_7, true, 0, 103, 0},           {Qt::Key_Asterisk, true, 0, 106, 0},
        {Qt::Key_Semicolon, false, 47, 186, 0}, {Qt::Key_Colon, false, 0, 186, 0},
        {Qt::Key_unknown, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const VirtualKeys k = VirtualKeyFor(c.QtKey, c.Keypad, c.Xkb, c.Xkb != 0);
        EXPECT_EQ(k.Code, c.Code) << std::hex << c.QtKey << " scan " << std::dec << c.Xkb;
        EXPECT_EQ(k.Generic, c.Generic) << std::hex << c.QtKey;
    }
    // Without XKB key codes the scan code is not trusted.
    EXPECT_EQ(VirtualKeyFor(Qt::Key_B, false, 38, false).Code, 'B');
}

TEST(KeyTable, HeldKeysCountEachPhysicalKeyOnce) {
    KeyStateTable keys;
    keys.Press({160, 16});
    keys.Press({160, 16}); // pressed again without a release
    keys.Press({161, 16});
    keys.Release({160, 16});
    EXPECT_TRUE(keys.Held(16)); // right Shift still down
    EXPECT_FALSE(keys.Held(160));
    keys.Release({161, 16});
    EXPECT_FALSE(keys.Held(16));
    EXPECT_FALSE(keys.Held(0));
    EXPECT_FALSE(keys.Held(256));
}

TEST(KeyTable, KeyEventsFeedTheTableAndTheKeyboardDevice) {
    test::TestApplication();
    QtKeyState state;
    QWidget window;
    window.installEventFilter(&state);
    KeyboardDevice device(state.Table());
    device.Assigns[kInputLeft] = {37, 65, 0};
    device.Assigns[kInputButton1] = {67, 0, 0};

    const auto send = [&window](QEvent::Type type, int key, bool repeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(&window, &event);
    };
    send(QEvent::KeyPress, Qt::Key_A);
    send(QEvent::KeyPress, Qt::Key_C);
    device.Update();
    EXPECT_TRUE(device.State().test(kInputLeft));
    EXPECT_TRUE(device.State().test(kInputButton1));
    send(QEvent::KeyRelease, Qt::Key_C, true); // auto-repeat release: still held
    device.Update();
    EXPECT_TRUE(device.State().test(kInputButton1));
    send(QEvent::KeyRelease, Qt::Key_C);
    device.Update();
    EXPECT_FALSE(device.State().test(kInputButton1));

    QEvent deactivate(QEvent::WindowDeactivate); // losing focus releases everything
    QCoreApplication::sendEvent(&window, &deactivate);
    device.Update();
    EXPECT_TRUE(device.State().none());
}

} // namespace
} // namespace velmar
