#pragma once

#include "frontend/Configuration.h"

#include <QDialog>

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace velmar {

class KeyStateTable;
class SdlJoystick;

// What a key capture reads: the held keys (Windows virtual-key codes) and joystick
// buttons (0 to 31) as of the last Update.
class CaptureSource {
  public:
    virtual ~CaptureSource() = default;
    // Turns the keyboard and joystick on (enabled and bound) or off.
    virtual void SetOn(bool on) = 0;
    virtual void Update() = 0;
    virtual bool KeyHeld(std::uint32_t code) const = 0;
    virtual bool ButtonHeld(int button) const = 0;
    virtual bool JoystickPresent() const = 0;
    // The joysticks attached, by name, looked for afresh (plugged in or out since).
    virtual std::vector<std::string> JoystickNames() { return {}; }
    // For a gamepad SDL's database knows, its A, B and Start: the pad's button 1, button 2
    // and pause unless redefined.
    virtual std::optional<std::array<int, 3>> GamepadButtons() const { return std::nullopt; }
};

// The dialog's own input object: the window's key table (the one play reads, so a captured
// key plays) and the window's joystick. It reads nothing while off or while the dialog is
// not the active window.
class CaptureInput final : public CaptureSource {
  public:
    CaptureInput(const KeyStateTable& keys, SdlJoystick* joystick)
        : keys_(keys), joystick_(joystick) {}

    // Whether the dialog is the active window (nothing is read otherwise).
    std::function<bool()> InFront;

    void SetOn(bool on) override { on_ = on; }
    void Update() override;
    bool KeyHeld(std::uint32_t code) const override { return code < 256 && held_[code]; }
    bool ButtonHeld(int button) const override;
    bool JoystickPresent() const override;
    std::vector<std::string> JoystickNames() override;
    std::optional<std::array<int, 3>> GamepadButtons() const override;

  private:
    const KeyStateTable& keys_;
    SdlJoystick* joystick_;
    bool on_ = false;
    bool read_ = false; // whether the last Update read the devices
    std::bitset<256> held_;
};

// The controller dialog: per pad the choice between keyboard and joystick (at most one pad
// on the joystick), the joysticks attached by name (looked for again twice a second while
// the dialog is open, so one plugged in shows at once), and the Redefine Keys sequence,
// which asks for each key or button in turn. Choosing the joystick for a pad when it is a
// gamepad SDL's database knows sets its A, B and Start as the pad's buttons, as if
// redefined. The capture runs on a timer, so the dialog keeps repainting; Esc, Cancel or closing
// the window aborts a capture and leaves that pad as it was. Each reading takes the keys
// held then and the keys pressed on the dialog since the last reading, so a short tap is
// never missed; a tap while the capture waits for a key is read at once.
class TfrmController final : public QDialog {
  public:
    // Pad 1 Up, Down, Left, Right, Button 1, Button 2, Pause; pad 2 Up ... Button 2.
    static constexpr std::size_t kKeyCodes = 13;
    static constexpr int kAcceptKeyMs = 500;
    static constexpr int kAcceptButtonMs = 700;
    static constexpr int kBetweenPromptsMs = 200;
    static constexpr int kJoystickLookMs = 500;

    explicit TfrmController(std::unique_ptr<CaptureSource> source, QWidget* parent = nullptr);
    ~TfrmController() override;

    // Before each showing: the choices from Pad1Joystick and Pad2Joystick, the source on,
    // the Redefined flags cleared, the messages reset.
    void PrepareDialog();
    // The key codes from a stored set-up (before each showing).
    void SetKeyCodes(const ControllerSetup& setup);
    // Pad 1 or 2 as the dialog held it: its captured values and its type from the choice
    // made at OK.
    PadSetup PadValues(int pad) const;
    bool Capturing() const { return capture_.Pad != 0; }
    // Ends a running capture; the pad keeps what it held before it.
    void AbortCapture();

    // Pauses last TimeScale times their length (0 in tests); PauseObserver sees each one.
    double TimeScale = 1.0;
    std::function<void(int milliseconds)> PauseObserver;

    std::array<std::uint8_t, kKeyCodes> KeyCodes{};
    std::uint8_t Pad1Joystick = 0;
    std::uint8_t Pad2Joystick = 0;
    std::uint8_t Pad1Redefined = 0;
    std::uint8_t Pad2Redefined = 0;

    // Controls, named as in the layout.
    QGroupBox* grpJoypadP1;
    QGroupBox* grpJoypadP2;
    QLabel* lblCtrlP1;
    QLabel* lblCtrlP2;
    QRadioButton* rdP1K;
    QRadioButton* rdP1J;
    QRadioButton* rdP2K;
    QRadioButton* rdP2J;
    QPushButton* btnDefSeqP1;
    QPushButton* btnDefSeqP2;
    QGroupBox* grpRedefP1;
    QGroupBox* grpRedefP2;
    QLabel* lblMSGPL1;
    QLabel* lblMSGPL2;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QLabel* lblJoysticks;

    void btnDefSeqP1Click() { Redefine(1); }
    void btnDefSeqP2Click() { Redefine(2); }
    void rdP1KClick() { ChoiceMade(); }
    void rdP1JClick();
    void rdP2KClick() { ChoiceMade(); }
    void rdP2JClick();
    void btnOKClick();
    void btnCancelClick();

    // While capturing, a close (Esc, the window manager) aborts the capture instead.
    void reject() override;

  protected:
    bool event(QEvent* event) override;

  private:
    struct Capture {
        int Pad = 0; // 0: none running
        bool Joystick = false;
        std::array<int, 7> Prompts{};
        int Count = 0;
        int Step = 0;
        int Candidate = 0;
        // Keys pressed on the dialog since the last reading (virtual-key codes).
        std::bitset<256> Tapped;
        // What an abort puts back.
        std::array<std::uint8_t, kKeyCodes> KeyCodes{};
        std::uint8_t Redefined = 0;
        bool RedefinedOnJoystick = false;
        QString Message;
    };

    void Redefine(int pad);
    void Ask();
    void Accept();
    void Next();
    void Finish();
    enum class Step { None, Ask, Accept, Next };
    void Pause(int milliseconds, Step step);
    void SetControlsEnabled(bool enabled);
    // Applies the choice rules and forgets a redefinition whose pad changed type.
    void ChoiceMade();
    void TurnSourceOff();
    // The joysticks attached, again; the joystick choices follow.
    void LookForJoysticks();
    void UseGamepadButtons(int pad);
    QLabel* Message(int pad) const { return pad == 1 ? lblMSGPL1 : lblMSGPL2; }
    std::uint8_t& Redefined(int pad) { return pad == 1 ? Pad1Redefined : Pad2Redefined; }

    std::unique_ptr<CaptureSource> source_;
    QTimer* stepTimer_;
    QTimer* joystickTimer_;
    Step next_ = Step::None;
    Capture capture_;
    // The type each pad was redefined on (true: joystick).
    std::array<bool, 2> redefinedOnJoystick_{};
};

// The dialog of the main window, reading the window's key table and joystick.
TfrmController* MakeControllerDialog(const KeyStateTable& keys, SdlJoystick* joystick,
                                     QWidget* parent);

// Controllers > Configuration of the main window.
struct ControllerCommand {
    TfrmController* Dialog;
    ProfileFile* Ini;
    // Turns all four devices of both pads off.
    std::function<void()> ReleasePads;
    // Reads the stored set-up into the pads and the machine.
    std::function<void()> LoadConfiguration;
    std::function<void(const QString&)> ShowError;

    // Releases the pads, shows the dialog with the stored choices, writes the pads
    // redefined in it when it closes with OK and reloads the set-up however it closed.
    void Run();
};

} // namespace velmar
