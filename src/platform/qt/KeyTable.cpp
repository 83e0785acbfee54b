#include "platform/qt/KeyTable.h"

#include <Qt>

namespace velmar {

namespace {

constexpr std::uint8_t kShift = 16, kControl = 17, kMenu = 18;

// Linux input codes (the XKB key code less 8) to virtual-key codes.
struct ScanEntry {
    std::uint16_t Scan;
    std::uint8_t Code;
    std::uint8_t Generic;
};
constexpr ScanEntry kScanTable[] = {
    {1, 27, 0},        {2, '1', 0},       {3, '2', 0},         {4, '3', 0},         {5, '4', 0},
    {6, '5', 0},       {7, '6', 0},       {8, '7', 0},         {9, '8', 0},         {10, '9', 0},
    {11, '0', 0},      {12, 189, 0},      {13, 187, 0},        {14, 8, 0},          {15, 9, 0},
    {16, 'Q', 0},      {17, 'W', 0},      {18, 'E', 0},        {19, 'R', 0},        {20, 'T', 0},
    {21, 'Y', 0},      {22, 'U', 0},      {23, 'I', 0},        {24, 'O', 0},        {25, 'P', 0},
    {26, 219, 0},      {27, 221, 0},      {28, 13, 0},         {29, 162, kControl}, {30, 'A', 0},
    {31, 'S', 0},      {32, 'D', 0},      {33, 'F', 0},        {34, 'G', 0},        {35, 'H', 0},
    {36, 'J', 0},      {37, 'K', 0},      {38, 'L', 0},        {39, 186, 0},        {40, 222, 0},
    {41, 192, 0},      {42, 160, kShift}, {43, 220, 0},        {44, 'Z', 0},        {45, 'X', 0},
    {46, 'C', 0},      {47, 'V', 0},      {48, 'B', 0},        {49, 'N', 0},        {50, 'M', 0},
    {51, 188, 0},      {52, 190, 0},      {53, 191, 0},        {54, 161, kShift},   {55, 106, 0},
    {56, 164, kMenu},  {57, 32, 0},       {58, 20, 0},         {59, 112, 0},        {60, 113, 0},
    {61, 114, 0},      {62, 115, 0},      {63, 116, 0},        {64, 117, 0},        {65, 118, 0},
    {66, 119, 0},      {67, 120, 0},      {68, 121, 0},        {69, 144, 0},        {70, 145, 0},
    {71, 103, 0},      {72, 104, 0},      {73, 105, 0},        {74, 109, 0},        {75, 100, 0},
    {76, 101, 0},      {77, 102, 0},      {78, 107, 0},        {79, 97, 0},         {80, 98, 0},
    {81, 99, 0},       {82, 96, 0},       {83, 110, 0},        {86, 226, 0},        {87, 122, 0},
    {88, 123, 0},      {96, 13, 0},       {97, 163, kControl}, {98, 111, 0},        {99, 44, 0},
    {100, 165, kMenu}, {102, 36, 0},      {103, 38, 0},        {104, 33, 0},        {105, 37, 0},
    {106, 39, 0},      {107, 35, 0},      {108, 40, 0},        {109, 34, 0},        {110, 45, 0},
    {111, 46, 0},      {119, 19, 0},      {125, 91, 0},        {126, 92, 0},        {127, 93, 0},
};

VirtualKeys FromScanCode(std::uint32_t xkb) {
    if (xkb < 8) return {};
    const std::uint32_t scan = xkb - 8;
    for (const ScanEntry& e : kScanTable)
        if (e.Scan == scan) return {e.Code, e.Generic};
    return {};
}

VirtualKeys FromQtKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return {static_cast<std::uint8_t>(96 + key - Qt::Key_0), 0};
        switch (key) {
        case Qt::Key_Asterisk: return {106, 0};
        case Qt::Key_Plus: return {107, 0};
        case Qt::Key_Minus: return {109, 0};
        case Qt::Key_Period:
        case Qt::Key_Comma: return {110, 0};
        case Qt::Key_Slash: return {111, 0};
        case Qt::Key_Enter: return {13, 0};
        default: break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return {static_cast<std::uint8_t>(key), 0};
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return {static_cast<std::uint8_t>(key), 0};
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return {static_cast<std::uint8_t>(112 + key - Qt::Key_F1), 0};
    switch (key) {
    // Shifted digits on the usual layout: the digit key itself.
    case Qt::Key_Exclam: return {'1', 0};
    case Qt::Key_At: return {'2', 0};
    case Qt::Key_NumberSign: return {'3', 0};
    case Qt::Key_Dollar: return {'4', 0};
    case Qt::Key_Percent: return {'5', 0};
    case Qt::Key_AsciiCircum: return {'6', 0};
    case Qt::Key_Ampersand: return {'7', 0};
    case Qt::Key_Asterisk: return {'8', 0};
    case Qt::Key_ParenLeft: return {'9', 0};
    case Qt::Key_ParenRight: return {'0', 0};
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return {186, 0};
    case Qt::Key_Equal:
    case Qt::Key_Plus: return {187, 0};
    case Qt::Key_Comma:
    case Qt::Key_Less: return {188, 0};
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return {189, 0};
    case Qt::Key_Period:
    case Qt::Key_Greater: return {190, 0};
    case Qt::Key_Slash:
    case Qt::Key_Question: return {191, 0};
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return {192, 0};
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return {219, 0};
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return {220, 0};
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return {221, 0};
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return {222, 0};
    case Qt::Key_Backspace: return {8, 0};
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return {9, 0};
    case Qt::Key_Return:
    case Qt::Key_Enter: return {13, 0};
    case Qt::Key_Shift: return {160, kShift};
    case Qt::Key_Control: return {162, kControl};
    case Qt::Key_Alt: return {164, kMenu};
    case Qt::Key_AltGr: return {165, kMenu};
    case Qt::Key_Pause: return {19, 0};
    case Qt::Key_CapsLock: return {20, 0};
    case Qt::Key_Escape: return {27, 0};
    case Qt::Key_Space: return {32, 0};
    case Qt::Key_PageUp: return {33, 0};
    case Qt::Key_PageDown: return {34, 0};
    case Qt::Key_End: return {35, 0};
    case Qt::Key_Home: return {36, 0};
    case Qt::Key_Left: return {37, 0};
    case Qt::Key_Up: return {38, 0};
    case Qt::Key_Right: return {39, 0};
    case Qt::Key_Down: return {40, 0};
    case Qt::Key_Print: return {44, 0};
    case Qt::Key_Insert: return {45, 0};
    case Qt::Key_Delete: return {46, 0};
    case Qt::Key_Meta:
    case Qt::Key_Super_L: return {91, 0};
    case Qt::Key_Super_R: return {92, 0};
    case Qt::Key_Menu: return {93, 0};
    case Qt::Key_NumLock: return {144, 0};
    case Qt::Key_ScrollLock: return {145, 0};
    default: return {};
    }
}

} // namespace

VirtualKeys VirtualKeyFor(int qtKey, bool keypad, std::uint32_t nativeScanCode, bool xkbScanCodes) {
    if (xkbScanCodes) {
        const VirtualKeys fromScan = FromScanCode(nativeScanCode);
        if (fromScan.Code != 0) return fromScan;
    }
    return FromQtKey(qtKey, keypad);
}

void KeyStateTable::Press(VirtualKeys keys) {
    if (keys.Code == 0 || held_[keys.Code] != 0) return; // a held key counts once
    held_[keys.Code] = 1;
    if (keys.Generic != 0) ++held_[keys.Generic];
}

void KeyStateTable::Release(VirtualKeys keys) {
    if (keys.Code == 0 || held_[keys.Code] == 0) return;
    held_[keys.Code] = 0;
    if (keys.Generic != 0 && held_[keys.Generic] != 0) --held_[keys.Generic];
}

} // namespace velmar
