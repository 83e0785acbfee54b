#pragma once

#include "files/GameFiles.h"
#include "frontend/Configuration.h"
#include "frontend/InputRecorder.h"
#include "frontend/LogoWidget.h"
#include "frontend/PacingClock.h"
#include "frontend/PadInput.h"
#include "frontend/ProfileFile.h"
#include "frontend/SoundOutput.h"
#include "machine/TSMS.h"
#include "platform/ffmpeg/FfmpegAviWriter.h"
#include "platform/qt/QtFrameHandOver.h"
#include "platform/qt/QtKeyboard.h"
#include "platform/qt/QtVideo.h"
#include "platform/sdl/SdlJoystick.h"

#include <QImage>
#include <QMainWindow>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

class QFileDialog;
class QLabel;
class QMenu;
class QStackedWidget;
class QTimer;

namespace velmar {

class GunAiming;
class PlayerControls;
class TfrmController;
class WindowControls;

// The main window: owns the machine and the services handed to it, and turns the menu
// commands and the function keys into calls on the machine. Menu items and submenus carry
// their command names as object names ("mLoadRom", "mFile", ...).
class TMainForm final : public QMainWindow {
  public:
    struct Options {
        // Where Velmar.ini and the RAM, BMP, AVI and VLR folders live.
        std::filesystem::path DataFolder;
        // False: a silent buffer stands in for the sound device (tests).
        bool OpenSoundDevice = true;
    };

    explicit TMainForm(const Options& options);
    ~TMainForm() override;

    // The command names' items; null when there is none.
    QAction* Item(const char* name) const;
    QMenu* Menu(const char* name) const;

    // Record Input once the file is chosen.
    void RecordInputTo(const QString& file);
    const InputRecorder& Recorder() const { return recorder_; }
    // Load Game ROM once the file is chosen (the dialog, the command line and a drop).
    void LoadRomFile(const QString& fileName);
    void RunBiosCommand();
    // The ROM dialog: Master System and SG-1000 cartridges and zip archives of them, matching
    // .sms, .sg and .zip in any case.
    static std::unique_ptr<QFileDialog> MakeRomDialog(QWidget* parent, const QString& folder);
    // Stops a capture, writes the battery RAM, closes the sound and ends the machine. What
    // could not be finished is shown (ShowError) and kept in ExitFailures.
    void Exit();
    // Runs action once the window is on the screen (at once, from the event loop, when it is).
    void WhenShown(std::function<void()> action);
    const QStringList& ExitFailures() const { return exitFailures_; }

    // The frame rate measured last before Exit.
    std::uint32_t LastFps() const { return lastFps_; }
    // Frames presented since the first one, and the seconds between the first and the last.
    std::uint64_t FramesShown() const { return framesShown_; }
    double SecondsShown() const;
    // How far the sound writer led the player after each frame while the stream played:
    // the mean, least and most, in milliseconds (0 when it never played).
    struct StreamLead {
        double MeanMs = 0, MinMs = 0, MaxMs = 0;
    };
    StreamLead SoundLead() const;
    bool LogoShown() const;
    bool MenuBarShown() const;
    TSMS* Machine() const { return machine_.get(); }
    const GameFiles& Files() const { return files_; }
    VideoWidget& Video() const { return *video_; }
    LogoWidget& Logo() const { return *logo_; }
    SoundOutput& Sound() { return sound_; }
    TfrmController& ControllerDialog() const { return *controller_; }
    GunAiming& Gun() const { return *gun_; }
    // The short message last shown over the picture (empty when none), as written.
    QString Notice() const;
    // How a message over the picture is laid out in the window: its width and height.
    QSize NoticeSize() const;
    // A short message over the picture: for a few seconds after a failure, briefly after a
    // command that succeeded. Wrapped to the picture's width (long paths may break at any
    // '/'), so nothing is cut at the window's edge.
    enum class NoticeKind { Failed, Done };
    void ShowNotice(const QString& text, NoticeKind kind = NoticeKind::Failed);
    // Why a file could not be written, in words: the folder that is missing or cannot be
    // written, else the writer's own reason.
    static QString WriteFailure(const std::filesystem::path& file, const std::string& error);
    // Shows a modal message (a failed ROM load, a configuration write); tests replace it.
    std::function<void(const QString&)> ShowError;

    PlayerControls& Player() const { return *player_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Tab is a key of the game (fast-forward), not a way between the window's parts.
    bool focusNextPrevChild(bool) override { return false; }
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    friend class PlayerControls; // the state slots, rewind, volume and recent games
    friend class WindowControls; // the window's size, place, shortcuts and remembered menus
    void BuildMenus();
    void LoadConfiguration();
    void ControllerConfigClick();
    void ShowLogo(bool show);
    void Pause();
    void LogoClick();
    // The Pause key (P): pauses a running game, resumes a paused one.
    void PauseKey();
    bool KeyPlaysAPad(std::uint32_t code) const;
    void LoadRomClick();
    void EnableGameItems();
    void MapperClick(MapperChoice choice);
    void RegionClick(ConsoleRegion region);
    void ShowMapperChoice();
    void ResumeWithMachinePriority();
    void SaveStateFile();
    void LoadStateFile();
    void SnapshotClick();
    // File, Record Input... and Stop Recording (RecordInput.cpp).
    void RecordInputClick();
    void StopRecordingClick();
    void ShowRecording(bool recording);
    void StartDumpClick();
    void EndDumpClick();
    void SetWindowed();
    void SetFullScreen();
    void WindowStateChanged();
    void SetMenuBarShown(bool shown);
    // "Velmar - NAME" while a game runs (its base name), "Velmar" before.
    void SetGameTitle(const std::string& base);
    void ConsoleResetClick();
    void ReportBatteryRam();
    void FrameHandedOver();
    void FrameFailed(const QString& what);
    std::string GameBase() const;

    // Why the data folder asked for is not the one used (empty when it is).
    std::string dataNotice_;
    GameFiles files_;
    ProfileFile ini_;
    QtKeyState keyState_;
    QStackedWidget* stack_;
    VideoWidget* video_;
    LogoWidget* logo_;
    QLabel* notice_;
    QString noticeText_;
    QTimer* noticeTimer_;
    std::unique_ptr<QtVideoSurface> surface_;
    SoundOutput sound_;
    SdlJoystick joystick_;
    KeyboardDevice keys1_;
    KeyboardDevice keys2_;
    PadInput pad1_;
    PadInput pad2_;
    PacingClock clock_;
    FfmpegAviWriter avi_;
    std::unique_ptr<QtFrameHandOver> handOver_;
    InputRecorder recorder_; // the machine's input tap while recording: outlives it
    std::unique_ptr<TSMS> machine_;
    std::uint32_t lastFps_ = 0;
    std::uint64_t framesShown_ = 0;
    std::chrono::steady_clock::time_point firstFrame_{};
    std::chrono::steady_clock::time_point lastFrame_{};
    std::uint64_t leadSum_ = 0, leadCount_ = 0;
    std::uint32_t leadMin_ = 0xFFFFFFFFu, leadMax_ = 0;
    bool frameFailed_ = false;
    bool capturing_ = false; // End Dump is offered
    bool exited_ = false;
    bool pauseOnFocusLoss_ = true;
    QRect windowedGeometry_;         // the window's place before full screen
    bool pausedByFocusLoss_ = false; // resumed when the window is in front again
    QStringList exitFailures_;
    // The base name of the cartridge last loaded: its mapper choice is remembered under it.
    std::string cartridgeGame_;
    TfrmController* controller_ = nullptr;
    GunAiming* gun_ = nullptr;
    PlayerControls* player_ = nullptr;
    WindowControls* window_ = nullptr;
};

} // namespace velmar
