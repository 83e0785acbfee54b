// The command table of the main window: every menu, item, caption, start state, tick pair
// and separator, and the call each item makes.
#include "frontend/AboutBox.h"
#include "frontend/GunAiming.h"
#include "frontend/MainForm.h"
#include "frontend/MenuBuilder.h"
#include "frontend/PlayerControls.h"
#include "frontend/WindowControls.h"

#include <QMenu>
#include <QMenuBar>

namespace velmar {

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    const auto top = [this, bar](const char* name, const char* caption) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        // Opening any top-level menu pauses the emulation under the logo.
        connect(menu, &QMenu::aboutToShow, this, [this] { Pause(); });
        return menu;
    };
    TSMS& m = *machine_;

    QMenu* file = top("mFile", "File");
    AddItem(file, "mLoadRom", "Load Game ROM", [this] { LoadRomClick(); });
    player_->AddRecentGames(file);
    AddItem(
        file, "mGameReset", "Game Reset (F9)", [&m] { m.GameReset(); }, false);
    AddItem(
        file, "mConsoleReset", "Console Reset (F12)", [this] { ConsoleResetClick(); }, false);
    file->addSeparator();
    AddItem(
        file, "mLoadState", "Load State (F8)", [this] { LoadStateFile(); }, false);
    AddItem(
        file, "mSaveState", "Save State (F5)", [this] { SaveStateFile(); }, false);
    player_->AddStateItems(file);
    file->addSeparator();
    AddItem(file, "mRecordInput", "Record Input...", [this] { RecordInputClick(); });
    AddItem(
        file, "mStopRecording", "Stop Recording", [this] { StopRecordingClick(); }, false);
    file->addSeparator();
    AddItem(file, "mBios", "Run BIOS", [this] { RunBiosCommand(); });
    QMenu* biosType = AddSubmenu(file, "mBiosType", "BIOS Type");
    AddChoices(biosType,
               {{"mBIOSBr", "American / Brazilian",
                 [&m] {
                     m.SetBiosType(1);
                     m.ConsoleReset();
                 }},
                {"mBIOSJap", "Japanese",
                 [&m] {
                     m.SetBiosType(0);
                     m.ConsoleReset();
                 }}},
               0);
    AddChoices(AddSubmenu(file, "mRegion", "Region"),
               {{"mRegionNTSC", "NTSC (60 Hz)", [this] { RegionClick(ConsoleRegion::Ntsc); }},
                {"mRegionPAL", "PAL (50 Hz)", [this] { RegionClick(ConsoleRegion::Pal); }}},
               m.GetRegion() == ConsoleRegion::Pal ? 1 : 0);
    QMenu* mapper = AddSubmenu(file, "mMapper", "Mapper");
    mapper->menuAction()->setEnabled(false); // until a cartridge is loaded
    AddChoices(
        mapper,
        {{"mMapperAuto", "Auto", [this] { MapperClick(MapperChoice::Auto); }},
         {"mMapperSega", "Sega", [this] { MapperClick(MapperChoice::Sega); }},
         {"mMapperCodemasters", "Codemasters", [this] { MapperClick(MapperChoice::Codemasters); }},
         {"mMapperKorean", "Korean", [this] { MapperClick(MapperChoice::Korean); }},
         {"mMapperNone", "None", [this] { MapperClick(MapperChoice::None); }}},
        0);
    file->addSeparator();
    AddItem(file, "mExit", "Exit", [this] { close(); });

    QMenu* graphics = top("mGraphics", "Graphics");
    QMenu* frameskip = AddSubmenu(graphics, "mFrameskip", "Frameskip");
    AddChoices(frameskip,
               {{"mFrame75", "75% Frameskip", [&m] { m.SetFrameskip(3); }},
                {"mFrame50", "50% Frameskip", [&m] { m.SetFrameskip(1); }},
                {"mFrameOff", "No Frameskip", [&m] { m.SetFrameskip(0); }}},
               2);
    AddSwitch(AddSubmenu(graphics, "mBck", "Background"), "mBckOn", "mBckOff", true,
              [&m](std::uint8_t v) { m.SetBackground(v); });
    AddSwitch(AddSubmenu(graphics, "mSpr", "Sprites"), "mSprOn", "mSprOff", true,
              [&m](std::uint8_t v) { m.SetSprites(v); });
    QMenu* videoMode = AddSubmenu(graphics, "mExib", "Video Mode");
    AddChoices(videoMode,
               {{"mWindowed", "Windowed", [this] { SetWindowed(); }},
                {"mFull", "Full Screen", [this] { SetFullScreen(); }}},
               0);
    window_->AddIntegerScaling(videoMode);
    window_->AddWindowSize(graphics);
    AddSwitch(AddSubmenu(graphics, "mVSync", "VSync"), "mVSyncON", "mVSyncOFF", false,
              [this](std::uint8_t v) { video_->SetWaitForVerticalBlank(v == 1); });
    AddSwitch(AddSubmenu(graphics, "mHQ2x", "HQ2x Filter"), "mHQ2xON", "mHQ2xOFF", true,
              [&m](std::uint8_t v) { m.SetHq2x(v); });
    graphics->addSeparator();
    AddItem(graphics, "mSnapshot", "Snapshot", [this] { SnapshotClick(); });
    graphics->addSeparator();
    QMenu* dump = AddSubmenu(graphics, "mAVIDump", "AVI Dump");
    AddItem(dump, "mSDump", "Start Dump", [this] { StartDumpClick(); });
    AddItem(
        dump, "mEDump", "End Dump", [this] { EndDumpClick(); }, false);
    player_->AddCaptureSound(dump);
    graphics->addSeparator();
    AddSwitch(
        AddSubmenu(graphics, "mVDPS", "VDP Status"), "mVDPSOn", "mVDPSOff", false,
        [&m](std::uint8_t v) { m.SetVdpStatus(v); }, "Show", "Hide");

    QMenu* sound = top("mSound", "Sound");
    player_->AddVolume(sound);
    sound->addSeparator();
    AddSwitch(AddSubmenu(sound, "mMixer", "General Output (Mixer)"), "mMixerOn", "mMixerOff", true,
              [&m](std::uint8_t v) { m.SetMixer(v); });
    sound->addSeparator();
    QMenu* psg = AddSubmenu(sound, "mPSGSound", "PSG Sound");
    AddSwitch(AddSubmenu(psg, "mPSGE", "PSG Output"), "mPSGOn", "mPSGOff", true,
              [&m](std::uint8_t v) { m.SetPsgOutput(v); });
    psg->addSeparator();
    static constexpr const char* kPsgChannels[4][4] = {
        {"mTom1", "Tone Generator 1", "mTom1On", "mTom1Off"},
        {"mTom2", "Tone Generator 2", "mTom2On", "mTom2Off"},
        {"mTom3", "Tone Generator 3", "mTom3On", "mTom3Off"},
        {"mNoise", "Noise Generator", "mNoiseOn", "mNoiseOff"}};
    for (std::uint32_t c = 0; c < 4; ++c)
        AddSwitch(AddSubmenu(psg, kPsgChannels[c][0], kPsgChannels[c][1]), kPsgChannels[c][2],
                  kPsgChannels[c][3], true, [&m, c](std::uint8_t v) { m.SetPsgChannel(c, v); });
    psg->addSeparator();
    AddChoices(AddSubmenu(psg, "mWaveShape", "Wave Shape"),
               {{"mSquare", "Square", [&m] { m.SetPsgWaveShape(1); }},
                {"mSine", "Sine", [&m] { m.SetPsgWaveShape(0); }}},
               0);
    psg->addSeparator();
    AddSwitch(
        AddSubmenu(psg, "mPSGS", "PSG Status"), "mPSGSOn", "mPSGSOff", false,
        [&m](std::uint8_t v) { m.SetPsgStatus(v); }, "Show", "Hide");
    QMenu* fm = AddSubmenu(sound, "mFMSound", "FM Sound");
    AddSwitch(AddSubmenu(fm, "mFME", "FM Output"), "mFMOn", "mFMOff", false,
              [&m](std::uint8_t v) { m.SetFmOutput(v); });
    fm->addSeparator();
    for (std::uint32_t c = 1; c <= 9; ++c) {
        const std::string n = std::to_string(c);
        // The names must outlive the menu: object names are copied, captions too.
        const std::string sub = "mChan" + n, on = "mCH" + n + "On", off = "mCH" + n + "Off";
        const std::string caption = "Channel " + n;
        AddSwitch(AddSubmenu(fm, sub.c_str(), caption.c_str()), on.c_str(), off.c_str(), true,
                  [&m, c](std::uint8_t v) { m.SetFmChannel(c - 1, v); });
    }

    QMenu* controllers = top("mControllers", "Controllers");
    AddItem(controllers, "mConfig", "Configuration", [this] { ControllerConfigClick(); });
    gun_->AddMenus(controllers);

    QMenu* help = top("mHelp", "Help");
    AddItem(help, "mAbout", "About", [this] {
        ShowLogo(false);
        TAboutBox box(this);
        box.exec();
        ShowLogo(true);
    });
}

} // namespace velmar
