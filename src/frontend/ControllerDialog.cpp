#include "frontend/ControllerDialog.h"

#include "platform/qt/KeyTable.h"
#include "platform/qt/QtKeyboard.h"
#include "platform/sdl/SdlJoystick.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <utility>

namespace velmar {

namespace {

constexpr const char* kPrompts[8] = {"",
                                     "Press key for UP",
                                     "Press key for DOWN",
                                     "Press key for LEFT",
                                     "Press key for RIGHT",
                                     "Press key for Button 1",
                                     "Press key for Button 2",
                                     "Press key for Pause"};
constexpr const char* kIdleMessage = "Press [Redefine] to change";
constexpr const char* kAccepted = "Key Accepted";
constexpr const char* kDone = "Configuration Sucessful!";
constexpr int kEscape = 27;
// The height of the line that names the joysticks, under the pads.
constexpr int kJoystickLine = 22;

template <typename T>
T* Place(QWidget* parent, const QString& name, int left, int top, int width, int height) {
    auto* widget = new T(parent);
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

// The largest small font in which the longest texts fit their places.
QFont FittingFont(QFont font) {
    for (int pixels = 11; pixels > 7; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(QStringLiteral("Controller Type:")) <= 76 &&
            metrics.horizontalAdvance(QString::fromLatin1(kIdleMessage)) <= 143)
            break;
    }
    return font;
}

} // namespace

// ---- The dialog's input object ---------------------------------------------------------

void CaptureInput::Update() {
    held_.reset();
    read_ = false;
    if (!on_ || (InFront && !InFront())) return;
    for (std::uint32_t code = 1; code < 256; ++code) held_[code] = keys_.Held(code);
    if (joystick_ != nullptr) joystick_->Update();
    read_ = true;
}

bool CaptureInput::ButtonHeld(int button) const {
    return read_ && joystick_ != nullptr && joystick_->ButtonHeld(button);
}

bool CaptureInput::JoystickPresent() const {
    return joystick_ != nullptr && joystick_->Present();
}

std::vector<std::string> CaptureInput::JoystickNames() {
    if (joystick_ == nullptr) return {};
    joystick_->Refresh();
    return joystick_->Names();
}

std::optional<std::array<int, 3>> CaptureInput::GamepadButtons() const {
    return joystick_ != nullptr ? joystick_->GamepadButtons() : std::nullopt;
}

// ---- Layout ----------------------------------------------------------------------------

TfrmController::TfrmController(std::unique_ptr<CaptureSource> source, QWidget* parent)
    : QDialog(parent), source_(std::move(source)) {
    setObjectName(QStringLiteral("frmController"));
    setWindowTitle(QStringLiteral("Controller Configuration and Key Assignments"));
    // A fixed border and no caption buttons.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setFixedSize(426, 247 + kJoystickLine);
    setFont(FittingFont(font()));

    QGroupBox* groups[2];
    QLabel* types[2];
    QRadioButton* keyboards[2];
    QRadioButton* joysticks[2];
    QPushButton* redefines[2];
    QGroupBox* newKeys[2];
    QLabel* messages[2];
    for (int p = 0; p < 2; ++p) {
        const QString n = QString::number(p + 1);
        const auto name = [&n](const char* stem) { return QString::fromLatin1(stem).arg(n); };
        groups[p] = Place<QGroupBox>(this, name("grpJoypadP%1"), p == 0 ? 8 : 216, 8, 201, 201);
        groups[p]->setTitle(QStringLiteral(" Control Pad %1 ").arg(n));
        types[p] = Place<QLabel>(groups[p], name("lblCtrlP%1"), 16, 152, 78, 17);
        types[p]->setText(QStringLiteral("Controller Type:"));
        keyboards[p] = Place<QRadioButton>(groups[p], name("rdP%1K"), 96, 152, 97, 17);
        keyboards[p]->setText(QStringLiteral("PC Keyboard"));
        keyboards[p]->setChecked(true);
        joysticks[p] = Place<QRadioButton>(groups[p], name("rdP%1J"), 96, 170, 97, 17);
        joysticks[p]->setText(QStringLiteral("PC Joystick"));
        redefines[p] = Place<QPushButton>(groups[p], name("btnDefSeqP%1"), 40, 32, 121, 25);
        redefines[p]->setText(QStringLiteral("Redefine Keys"));
        newKeys[p] = Place<QGroupBox>(groups[p], name("grpRedefP%1"), 16, 72, 169, 65);
        newKeys[p]->setTitle(QStringLiteral(" New Keys "));
        messages[p] = Place<QLabel>(newKeys[p], name("lblMSGPL%1"), 16, 28, 145, 17);
        messages[p]->setText(QString::fromLatin1(kIdleMessage));
    }
    grpJoypadP1 = groups[0];
    grpJoypadP2 = groups[1];
    lblCtrlP1 = types[0];
    lblCtrlP2 = types[1];
    rdP1K = keyboards[0];
    rdP2K = keyboards[1];
    rdP1J = joysticks[0];
    rdP2J = joysticks[1];
    btnDefSeqP1 = redefines[0];
    btnDefSeqP2 = redefines[1];
    grpRedefP1 = newKeys[0];
    grpRedefP2 = newKeys[1];
    lblMSGPL1 = messages[0];
    lblMSGPL2 = messages[1];
    // A line under the pads names the joysticks attached; the buttons move down below it.
    lblJoysticks = Place<QLabel>(this, QStringLiteral("lblJoysticks"), 16, 213, 394, 17);
    btnOK = Place<QPushButton>(this, QStringLiteral("btnOK"), 90, 216 + kJoystickLine, 110, 25);
    btnOK->setText(QStringLiteral("OK"));
    btnCancel =
        Place<QPushButton>(this, QStringLiteral("btnCancel"), 225, 216 + kJoystickLine, 110, 25);
    btnCancel->setText(QStringLiteral("Cancel"));

    stepTimer_ = new QTimer(this);
    stepTimer_->setSingleShot(true);
    connect(stepTimer_, &QTimer::timeout, this, [this] {
        switch (std::exchange(next_, Step::None)) {
        case Step::Ask: Ask(); break;
        case Step::Accept: Accept(); break;
        case Step::Next: Next(); break;
        case Step::None: break;
        }
    });
    joystickTimer_ = new QTimer(this);
    connect(joystickTimer_, &QTimer::timeout, this, [this] { LookForJoysticks(); });
    connect(btnDefSeqP1, &QPushButton::clicked, this, [this] { btnDefSeqP1Click(); });
    connect(btnDefSeqP2, &QPushButton::clicked, this, [this] { btnDefSeqP2Click(); });
    connect(rdP1K, &QRadioButton::clicked, this, [this] { rdP1KClick(); });
    connect(rdP1J, &QRadioButton::clicked, this, [this] { rdP1JClick(); });
    connect(rdP2K, &QRadioButton::clicked, this, [this] { rdP2KClick(); });
    connect(rdP2J, &QRadioButton::clicked, this, [this] { rdP2JClick(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    SetControlsEnabled(true);
}

TfrmController::~TfrmController() {
    stepTimer_->stop();
    joystickTimer_->stop();
}

// ---- Choices ---------------------------------------------------------------------------

void TfrmController::PrepareDialog() {
    AbortCapture();
    if (Pad1Joystick == 1) {
        rdP1J->setChecked(true);
        rdP2K->setChecked(true);
    } else if (Pad2Joystick == 1) {
        rdP2J->setChecked(true);
        rdP1K->setChecked(true);
    } else {
        rdP1K->setChecked(true);
        rdP2K->setChecked(true);
    }
    source_->SetOn(true);
    Pad1Redefined = 0;
    Pad2Redefined = 0;
    lblMSGPL1->setText(QString::fromLatin1(kIdleMessage));
    lblMSGPL2->setText(QString::fromLatin1(kIdleMessage));
    LookForJoysticks();
    joystickTimer_->start(kJoystickLookMs);
    SetControlsEnabled(true);
}

void TfrmController::LookForJoysticks() {
    const std::vector<std::string> names = source_->JoystickNames();
    QString text =
        names.empty() ? QStringLiteral("No joystick attached") : QStringLiteral("Joystick: ");
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? QString() : QStringLiteral("; ")) + QString::fromStdString(names[i]);
    if (names.size() > 1) text += QStringLiteral(" (the first plays)");
    lblJoysticks->setText(text);
    if (!Capturing()) ChoiceMade();
}

// A gamepad's A, B and Start, unless the pad was redefined on the joystick in this showing.
void TfrmController::UseGamepadButtons(int pad) {
    const auto buttons = source_->GamepadButtons();
    if (!buttons || (Redefined(pad) == 1 && redefinedOnJoystick_[pad - 1])) return;
    const std::size_t first = pad == 1 ? 4 : 11;
    KeyCodes[first] = static_cast<std::uint8_t>((*buttons)[0]);
    KeyCodes[first + 1] = static_cast<std::uint8_t>((*buttons)[1]);
    if (pad == 1) KeyCodes[6] = static_cast<std::uint8_t>((*buttons)[2]);
    Redefined(pad) = 1;
    redefinedOnJoystick_[pad - 1] = true;
    Message(pad)->setText(pad == 1 ? QStringLiteral("Gamepad: A, B and Start")
                                   : QStringLiteral("Gamepad: A and B"));
}

void TfrmController::SetKeyCodes(const ControllerSetup& setup) {
    const auto byte = [](std::int32_t v) { return static_cast<std::uint8_t>(v); };
    const PadSetup& a = setup.Pad1;
    const PadSetup& b = setup.Pad2;
    KeyCodes = {byte(a.Up),      byte(a.Down),    byte(a.Left),   byte(a.Right), byte(a.Button1),
                byte(a.Button2), byte(a.Button3), byte(b.Up),     byte(b.Down),  byte(b.Left),
                byte(b.Right),   byte(b.Button1), byte(b.Button2)};
}

PadSetup TfrmController::PadValues(int pad) const {
    const std::size_t o = pad == 1 ? 0 : 7;
    PadSetup p;
    p.Up = KeyCodes[o];
    p.Down = KeyCodes[o + 1];
    p.Left = KeyCodes[o + 2];
    p.Right = KeyCodes[o + 3];
    p.Button1 = KeyCodes[o + 4];
    p.Button2 = KeyCodes[o + 5];
    p.Button3 = pad == 1 ? KeyCodes[6] : 0;
    p.Joypad = (pad == 1 ? Pad1Joystick : Pad2Joystick) == 1;
    return p;
}

void TfrmController::rdP1JClick() {
    rdP2K->setChecked(true);
    ChoiceMade();
    UseGamepadButtons(1);
}

void TfrmController::rdP2JClick() {
    rdP1K->setChecked(true);
    ChoiceMade();
    UseGamepadButtons(2);
}

// At most one pad on the joystick, and none when no joystick is attached. A pad redefined
// on one type and then moved to the other is no longer redefined: its captured values would
// be stored as the wrong kind.
void TfrmController::ChoiceMade() {
    const bool present = source_->JoystickPresent();
    rdP1J->setEnabled(present && !rdP2J->isChecked());
    rdP2J->setEnabled(present && !rdP1J->isChecked());
    const bool onJoystick[2] = {rdP1J->isChecked(), rdP2J->isChecked()};
    for (int pad = 1; pad <= 2; ++pad) {
        if (Redefined(pad) != 1 || onJoystick[pad - 1] == redefinedOnJoystick_[pad - 1]) continue;
        Redefined(pad) = 0;
        Message(pad)->setText(QString::fromLatin1(kIdleMessage));
    }
}

void TfrmController::SetControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{btnDefSeqP1, btnDefSeqP2, btnOK, rdP1K, rdP2K,
                                                      rdP1J, rdP2J})
        w->setEnabled(enabled);
    if (enabled) ChoiceMade();
}

// ---- Redefine Keys ---------------------------------------------------------------------

void TfrmController::Redefine(int pad) {
    if (Capturing()) return;
    capture_ = Capture{};
    capture_.Pad = pad;
    capture_.Joystick = (pad == 1 ? rdP1J : rdP2J)->isChecked();
    capture_.KeyCodes = KeyCodes;
    capture_.Redefined = Redefined(pad);
    capture_.RedefinedOnJoystick = redefinedOnJoystick_[pad - 1];
    capture_.Message = Message(pad)->text();
    const int last = pad == 1 ? 7 : 6;
    for (int k = capture_.Joystick ? 5 : 1; k <= last; ++k) capture_.Prompts[capture_.Count++] = k;
    SetControlsEnabled(false);
    // Keys go to the dialog itself, so no button answers Enter or Space during the capture.
    setFocus(Qt::OtherFocusReason);
    Redefined(pad) = 1;
    redefinedOnJoystick_[pad - 1] = capture_.Joystick;
    Ask();
}

// One pass: the prompt, one reading of the devices, the lowest held candidate.
void TfrmController::Ask() {
    QLabel* message = Message(capture_.Pad);
    message->setText(QString::fromLatin1(kPrompts[capture_.Prompts[capture_.Step]]));
    source_->Update();
    const bool joystick = capture_.Joystick;
    const int first = joystick ? 0 : 1;
    const int end = joystick ? SdlJoystick::kButtons : 256;
    const std::bitset<256> tapped = std::exchange(capture_.Tapped, {});
    for (int c = first; c < end; ++c) {
        const bool held = joystick ? source_->ButtonHeld(c)
                                   : source_->KeyHeld(static_cast<std::uint32_t>(c)) ||
                                         tapped[static_cast<std::size_t>(c)];
        if (!held) continue;
        capture_.Candidate = c;
        message->setText(QString::fromLatin1(kAccepted));
        message->repaint();
        Pause(joystick ? kAcceptButtonMs : kAcceptKeyMs, Step::Accept);
        return;
    }
    Pause(kBetweenPromptsMs, Step::Ask);
}

void TfrmController::Accept() {
    const int k = capture_.Prompts[capture_.Step];
    const std::size_t entry =
        capture_.Pad == 1 ? static_cast<std::size_t>(k - 1) : static_cast<std::size_t>(6 + k);
    KeyCodes[entry] = static_cast<std::uint8_t>(capture_.Candidate);
    ++capture_.Step;
    Pause(kBetweenPromptsMs, Step::Next);
}

void TfrmController::Next() {
    if (capture_.Step < capture_.Count)
        Ask();
    else
        Finish();
}

void TfrmController::Finish() {
    const int pad = capture_.Pad;
    Message(pad)->setText(QString::fromLatin1(kDone));
    capture_.Pad = 0;
    next_ = Step::None;
    SetControlsEnabled(true);
}

void TfrmController::AbortCapture() {
    if (!Capturing()) return;
    stepTimer_->stop();
    next_ = Step::None;
    const int pad = capture_.Pad;
    KeyCodes = capture_.KeyCodes;
    Redefined(pad) = capture_.Redefined;
    redefinedOnJoystick_[pad - 1] = capture_.RedefinedOnJoystick;
    Message(pad)->setText(capture_.Message);
    capture_.Pad = 0;
    SetControlsEnabled(true);
}

void TfrmController::Pause(int milliseconds, Step step) {
    if (PauseObserver) PauseObserver(milliseconds);
    next_ = step;
    stepTimer_->start(static_cast<int>(milliseconds * TimeScale));
}

// ---- Closing ---------------------------------------------------------------------------

void TfrmController::TurnSourceOff() {
    source_->SetOn(false);
    joystickTimer_->stop();
}

void TfrmController::btnOKClick() {
    if (Capturing()) return;
    Pad1Joystick = rdP1K->isChecked() ? 0 : 1;
    Pad2Joystick = rdP2K->isChecked() ? 0 : 1;
    TurnSourceOff();
    accept();
}

void TfrmController::btnCancelClick() {
    reject();
}

void TfrmController::reject() {
    if (Capturing()) {
        AbortCapture();
        return;
    }
    TurnSourceOff();
    QDialog::reject();
}

// While capturing, every key belongs to the capture; Esc aborts it. The dialog keeps the
// focus after a capture and repeats are dropped, so a key still held from the last prompt
// (Enter, Space, Esc) neither starts another capture nor closes the dialog.
bool TfrmController::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        event->accept();
        return true;
    }
    if (Capturing() &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_Escape) {
            AbortCapture();
        } else if (event->type() == QEvent::KeyPress && !capture_.Joystick) {
            const VirtualKeys keys = QtKeyState::KeysOf(*key);
            for (const std::uint8_t code : {keys.Code, keys.Generic})
                if (code != 0) capture_.Tapped.set(code);
            // Waiting for a key: read it now rather than at the next reading.
            if (next_ == Step::Ask && keys.Code != 0) {
                stepTimer_->stop();
                next_ = Step::None;
                Ask();
            }
        }
        event->accept();
        return true;
    }
    return QDialog::event(event);
}

TfrmController* MakeControllerDialog(const KeyStateTable& keys, SdlJoystick* joystick,
                                     QWidget* parent) {
    auto input = std::make_unique<CaptureInput>(keys, joystick);
    CaptureInput* scan = input.get();
    auto* dialog = new TfrmController(std::move(input), parent);
    scan->InFront = [dialog] { return dialog->isActiveWindow(); };
    return dialog;
}

// ---- The main window's command ---------------------------------------------------------

void ControllerCommand::Run() {
    ReleasePads();
    if (Ini->Read("CONTROLLER_1", "JOYPAD", "0") == "1") {
        Dialog->Pad1Joystick = 1;
    } else {
        Dialog->Pad1Joystick = 0;
        Dialog->Pad2Joystick = Ini->Read("CONTROLLER_2", "JOYPAD", "0") == "1" ? 1 : 0;
    }
    Dialog->SetKeyCodes(ReadControllerSetup(*Ini));
    Dialog->PrepareDialog();
    if (Dialog->exec() == QDialog::Accepted) {
        for (int pad = 1; pad <= 2; ++pad) {
            if ((pad == 1 ? Dialog->Pad1Redefined : Dialog->Pad2Redefined) != 1) continue;
            if (const FileResult written = WritePadSetup(*Ini, pad, Dialog->PadValues(pad));
                !written) {
                ShowError(QString::fromStdString(written.error));
                break;
            }
        }
    }
    // Whatever happened, the pads play again on what the file now holds.
    LoadConfiguration();
}

} // namespace velmar
