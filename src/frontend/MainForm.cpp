#include "frontend/MainForm.h"

#include "files/BatteryFiles.h"
#include "files/RomFiles.h"
#include "frontend/AboutBox.h"
#include "frontend/ControllerDialog.h"
#include "frontend/GunAiming.h"
#include "frontend/PlayerControls.h"
#include "frontend/WindowControls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QWindow>

#include <chrono>

#include <unistd.h>
#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace velmar {

namespace {
constexpr const char* kRomFilter = "Master System and SG-1000 ROM Files (*.SMS *.SG *.ZIP)";
constexpr int kNoticeMilliseconds = 5000;

// Thread priorities, best effort: a failure (no permission) leaves the thread as it was.
// The window thread runs well above normal; the emulation thread, which inherits the
// priority of the thread that starts it, one step above normal.
constexpr int kWindowThreadNice = -10;
constexpr int kMachineThreadNice = -2;

void SetThisThreadNice(int nice) {
#if defined(__linux__)
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
#else
    (void)nice;
#endif
}

bool IsRomFile(const QString& name) {
    for (const char* end : {".sms", ".sg", ".zip"})
        if (name.endsWith(QLatin1String(end), Qt::CaseInsensitive)) return true;
    return false;
}

constexpr int kDoneNoticeMilliseconds = 1500;
constexpr int kNoticeMargin = 8;

// The data folder asked for, created; when it cannot be written, the per-user one, and
// notice says where the files go instead.
std::filesystem::path UsableDataFolder(const std::filesystem::path& wanted, std::string& notice) {
    const auto writable = [](const std::filesystem::path& folder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        return !folder.empty() && std::filesystem::is_directory(folder, ec) &&
               ::access(folder.c_str(), W_OK) == 0;
    };
    if (writable(wanted)) return wanted;
    const std::filesystem::path instead = GameFiles::DefaultDataFolder({});
    if (!instead.empty() && instead != wanted && writable(instead)) {
        notice = "The folder " + wanted.string() + " cannot be written: games' files go to " +
                 instead.string() + " instead.";
        return instead;
    }
    notice = "The folder " + wanted.string() + " cannot be written: nothing can be saved.";
    return wanted;
}

// The Mapper items in MapperChoice order.
constexpr const char* kMapperItems[] = {"mMapperAuto", "mMapperSega", "mMapperCodemasters",
                                        "mMapperKorean", "mMapperNone"};
} // namespace

// ---- Creation and end ----------------------------------------------------------------

TMainForm::TMainForm(const Options& options)
    : files_(UsableDataFolder(options.DataFolder, dataNotice_)),
      ini_(files_.DataFolder() / kIniFileName), keys1_(keyState_.Table()),
      keys2_(keyState_.Table()), pad1_(&keys1_, &joystick_, [this] { return isActiveWindow(); }),
      pad2_(&keys2_, &joystick_, [this] { return isActiveWindow(); }) {
    ShowError = [this](const QString& text) {
        QMessageBox::critical(this, QStringLiteral("Velmar"), text);
    };
    setWindowTitle(QStringLiteral("Velmar"));
    setAcceptDrops(true);
    PacingClock::UseFineTimers();
    SetThisThreadNice(kWindowThreadNice);
    qApp->installEventFilter(&keyState_);
    (void)files_.CreateFolders(); // later writes into a missing folder fail on their own

    stack_ = new QStackedWidget(this);
    video_ = new VideoWidget(stack_);
    logo_ = new LogoWidget([this] { LogoClick(); }, stack_);
    video_->setObjectName(QStringLiteral("Video"));
    logo_->setObjectName(QStringLiteral("VemoLogo"));
    stack_->addWidget(video_);
    stack_->addWidget(logo_);
    setCentralWidget(stack_);
    notice_ = new QLabel(stack_);
    notice_->setStyleSheet(QStringLiteral("background: black; color: white; padding: 4px;"));
    notice_->setWordWrap(true);
    notice_->hide();
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    connect(noticeTimer_, &QTimer::timeout, notice_, &QWidget::hide);

    surface_ = std::make_unique<QtVideoSurface>(*video_);
    if (options.OpenSoundDevice) (void)sound_.OpenDevice(WaveFormatRecord{});
    handOver_ = std::make_unique<QtFrameHandOver>(this, [this] { FrameHandedOver(); });
    MachineServices services;
    services.Display = surface_.get();
    services.Canvas = surface_.get();
    services.Sound = &sound_;
    services.Input1 = &pad1_;
    services.Input2 = &pad2_;
    services.Timer = &clock_;
    services.HandOver = handOver_.get();
    services.Avi = &avi_;
    machine_ = std::make_unique<TSMS>(services);
    machine_->SetDataFolder(files_.DataFolder());
    machine_->SetRegion(ReadRegion(ini_));
    LoadConfiguration();
    controller_ = MakeControllerDialog(keyState_.Table(), &joystick_, this);
    gun_ = new GunAiming([this] { return machine_.get(); }, *video_, this);
    player_ = new PlayerControls(*this);
    window_ = new WindowControls(*this);
    BuildMenus();
    ShowLogo(true);
    resize(512, 384 + menuBar()->sizeHint().height());
    window_->FinishMenus();
    window_->RestorePlace();
    if (!dataNotice_.empty()) ShowNotice(QString::fromStdString(dataNotice_));
}

TMainForm::~TMainForm() {
    Exit();
    delete gun_;        // no mouse event reaches the machine's slot from here on
    delete controller_; // before the key table and joystick it reads
}

// The order matters: the capture is finished so its file plays, the battery RAM is
// written, the sound stops, and the machine goes before the services it points to.
void TMainForm::Exit() {
    if (exited_) return;
    exited_ = true;
    window_->StorePlace();
    if (machine_) {
        lastFps_ = machine_->GetFps();
        machine_->PauseEmulation();
        if (const FileResult stopped = machine_->StopAviDump(); !stopped)
            exitFailures_ << QStringLiteral("AVI Dump failed: ") +
                                 QString::fromStdString(stopped.error);
        machine_->Reset();
        if (const FileResult& saved = machine_->BatteryRamSaveResult(); !saved)
            exitFailures_ << QStringLiteral("Battery RAM not saved: ") +
                                 QString::fromStdString(saved.error);
    }
    sound_.Close();
    machine_.reset();
    for (const QString& failure : exitFailures_) ShowError(failure);
}

void TMainForm::WhenShown(std::function<void()> action) {
    auto* poll = new QTimer(this);
    auto waited = std::make_shared<int>(0);
    connect(poll, &QTimer::timeout, this, [this, poll, waited, action = std::move(action)] {
        const QWindow* window = windowHandle();
        // Two seconds at most: a window system that never says so still gets the action.
        if ((window == nullptr || !window->isExposed()) && ++*waited < 200) return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(10);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    Exit();
    event->accept();
}

// ---- Configuration -------------------------------------------------------------------

void TMainForm::LoadConfiguration() {
    pauseOnFocusLoss_ = ReadPauseOnFocusLoss(ini_);
    const ControllerSetup setup = ReadControllerSetup(ini_);
    ConfigurePads(setup, keys1_, keys2_, pad1_, pad2_);
    const auto k = ButtonKeys(setup);
    machine_->SetKeys(k[0], k[1], k[2], k[3], k[4]);
}

// Controllers > Configuration; the menu's opening has paused the machine.
void TMainForm::ControllerConfigClick() {
    ControllerCommand command{controller_, &ini_,
                              [this] {
                                  for (PadInput* pad : {&pad1_, &pad2_}) {
                                      pad->SetKeyboardOn(false);
                                      pad->SetJoystickOn(false);
                                  }
                              },
                              [this] { LoadConfiguration(); }, ShowError};
    command.Run();
}

// ---- Showing and pausing -------------------------------------------------------------

QAction* TMainForm::Item(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

QMenu* TMainForm::Menu(const char* name) const {
    return findChild<QMenu*>(QString::fromLatin1(name));
}

bool TMainForm::LogoShown() const {
    return stack_->currentWidget() == logo_;
}
bool TMainForm::MenuBarShown() const {
    return menuBar()->isVisible();
}

void TMainForm::ShowLogo(bool show) {
    if (show)
        logo_->SetHint(machine_ && machine_->GetReady()
                           ? QStringLiteral("Paused: press Enter or Space, or click, to go on")
                           : QStringLiteral("File > Load Game ROM or Run BIOS to start"));
    stack_->setCurrentWidget(show ? static_cast<QWidget*>(logo_) : video_);
    (show ? static_cast<QWidget*>(logo_) : video_)->setFocus();
}

void TMainForm::Pause() {
    pausedByFocusLoss_ = false;
    if (!machine_) return;
    player_->Paused();
    machine_->PauseEmulation();
    ReportBatteryRam();
    ShowLogo(true);
}

void TMainForm::LogoClick() {
    pausedByFocusLoss_ = false;
    if (!machine_) return;
    machine_->ResumeEmulation();
    if (machine_->IsRunning()) ShowLogo(false);
}

void TMainForm::PauseKey() {
    if (!machine_) return;
    if (machine_->IsRunning())
        Pause();
    else if (LogoShown())
        LogoClick();
}

// The Pause key gives way to a pad that plays on it.
bool TMainForm::KeyPlaysAPad(std::uint32_t code) const {
    for (const KeyboardDevice* keys : {&keys1_, &keys2_})
        for (const auto& state : keys->Assigns)
            for (const std::uint32_t assigned : state)
                if (assigned == code) return true;
    return false;
}

// With the option on (Velmar.ini), a running game pauses while the window is not in front
// and goes on when it is again, unless the user paused or resumed it meanwhile.
void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) WindowStateChanged();
    if (event->type() != QEvent::ActivationChange || !machine_ || !pauseOnFocusLoss_) return;
    if (!isActiveWindow()) {
        if (!machine_->IsRunning() || QApplication::activeModalWidget() != nullptr) return;
        Pause();
        pausedByFocusLoss_ = true;
    } else if (pausedByFocusLoss_) {
        LogoClick();
    }
}

// ---- File commands -------------------------------------------------------------------

std::unique_ptr<QFileDialog> TMainForm::MakeRomDialog(QWidget* parent, const QString& folder) {
    auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Load Game ROM"), folder,
                                                QString::fromLatin1(kRomFilter));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::ReadOnly, true);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setDefaultSuffix(QStringLiteral("SMS"));
    return dialog;
}

// Paused first: the shortcut (Ctrl+O) may come while the game runs.
void TMainForm::LoadRomClick() {
    Pause();
    sound_.Stop();
    const auto dialog = MakeRomDialog(this, QString::fromStdString(ReadDefaultPath(ini_)));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    const QString name = dialog->selectedFiles().first();
    if (!name.isEmpty()) LoadRomFile(name);
}

void TMainForm::LoadRomFile(const QString& fileName) {
    if (!machine_) return;
    const std::string file = QFileInfo(fileName).absoluteFilePath().toStdString();
    // Read and checked first: a file that cannot be played leaves the game as it was.
    CartridgeImage image;
    if (FileResult read = ReadCartridge(file, image); !read) {
        ShowError(QString::fromStdString(read.error));
        return;
    }
    machine_->PauseEmulation();
    machine_->Reset();
    ReportBatteryRam();
    const std::string game = RomBaseName(file);
    machine_->SetMapperChoice(ReadGameMapper(ini_, game));
    if (FileResult loaded = machine_->LoadCartridge(image); !loaded) {
        ShowLogo(true);
        ShowError(QString::fromStdString(loaded.error));
        return;
    }
    cartridgeGame_ = game;
    ShowMapperChoice();
    WriteDefaultPath(ini_, file);
    machine_->SetRamFileName(files_.RamFileFor(file).string());
    SetGameTitle(GameBase());
    player_->GameStarted(file);
    // A save that could not be read is kept; the run's RAM goes beside it, and the user is told.
    if (const std::string notice = AttachBatteryFile(*machine_, files_); !notice.empty())
        ShowError(QString::fromStdString(notice));
    ResumeWithMachinePriority();
    EnableGameItems();
    ShowLogo(false);
}

void TMainForm::RunBiosCommand() {
    if (!machine_) return;
    machine_->PauseEmulation();
    machine_->Reset();
    ReportBatteryRam();
    machine_->SetRamFileName("");
    machine_->RunBios();
    SetGameTitle(GameBase());
    player_->GameStarted({});
    if (const std::string notice = AttachBatteryFile(*machine_, files_); !notice.empty())
        ShowError(QString::fromStdString(notice));
    EnableGameItems();
    ShowLogo(false);
    ResumeWithMachinePriority();
}

// The first resume starts the emulation thread, on the priority this thread has then.
void TMainForm::ResumeWithMachinePriority() {
    SetThisThreadNice(kMachineThreadNice);
    machine_->ResumeEmulation();
    SetThisThreadNice(kWindowThreadNice);
}

void TMainForm::EnableGameItems() {
    for (const char* name : {"mConsoleReset", "mGameReset", "mLoadState", "mSaveState"})
        if (QAction* item = Item(name)) item->setEnabled(true);
}

// The choice is the game's from now on; like a firmware change, it resets the console, which
// stays paused.
void TMainForm::MapperClick(MapperChoice choice) {
    if (FileResult kept = WriteGameMapper(ini_, cartridgeGame_, choice); !kept)
        ShowNotice(QStringLiteral("The mapper choice was not saved: ") +
                   QString::fromStdString(kept.error));
    machine_->SetMapperChoice(choice);
    machine_->ConsoleReset();
}

// The console of the other region: remembered, and like a firmware change it resets the
// console, which stays paused.
void TMainForm::RegionClick(ConsoleRegion region) {
    if (FileResult kept = WriteRegion(ini_, region); !kept)
        ShowNotice(QStringLiteral("The region was not saved: ") +
                   QString::fromStdString(kept.error));
    machine_->SetRegion(region);
    machine_->ConsoleReset();
}

// Ticks the loaded cartridge's choice; Auto says what it picked.
void TMainForm::ShowMapperChoice() {
    Item("mMapper")->setEnabled(true);
    Item(kMapperItems[static_cast<int>(machine_->GetMapperChoice())])->setChecked(true);
    Item("mMapperAuto")
        ->setText(QStringLiteral("Auto (%1)")
                      .arg(QLatin1String(MapperKindCaption(machine_->GetAutoMapper()))));
}

// Console Reset from the menu resumes the game, so the picture comes back too.
void TMainForm::ConsoleResetClick() {
    machine_->ConsoleReset();
    ReportBatteryRam();
    machine_->ResumeEmulation();
    if (machine_->IsRunning()) ShowLogo(false);
}

std::string TMainForm::GameBase() const {
    return GameBaseName(machine_->GetRamFileName());
}

// The current state slot's (PlayerControls).
void TMainForm::SaveStateFile() {
    player_->SaveState();
}

void TMainForm::LoadStateFile() {
    player_->LoadState();
}

void TMainForm::SnapshotClick() {
    if (!machine_->GetReady()) return; // nothing to picture yet
    const auto file = files_.SnapshotFile(GameBase(), TimeStamp(std::chrono::system_clock::now()));
    const std::vector<std::uint8_t> bmp = machine_->SnapshotBmp();
    if (const FileResult saved = WriteFileAtomic(file, bmp); !saved)
        ShowNotice(QStringLiteral("Snapshot failed: ") + WriteFailure(file, saved.error));
    else
        ShowNotice(QStringLiteral("Snapshot saved: ") + QString::fromStdString(file.filename()),
                   NoticeKind::Done);
}

QString TMainForm::WriteFailure(const std::filesystem::path& file, const std::string& error) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code ec;
    const auto status = std::filesystem::status(folder, ec);
    const QString name = QString::fromStdString(folder.string());
    if (!std::filesystem::exists(status))
        return QStringLiteral("the folder %1 does not exist").arg(name);
    if (!std::filesystem::is_directory(status))
        return QStringLiteral("%1 is not a folder").arg(name);
    if (::access(folder.c_str(), W_OK) != 0)
        return QStringLiteral("the folder %1 cannot be written").arg(name);
    return QString::fromStdString(error);
}

// One reading of the clock names both the file and what the read-out shows.
void TMainForm::StartDumpClick() {
    const auto file = files_.AviFile(GameBase(), TimeStamp(std::chrono::system_clock::now()));
    if (machine_->StartAviDump(file, file.filename().string())) {
        capturing_ = true;
        Item("mSDump")->setEnabled(false);
        Item("mEDump")->setEnabled(true);
    } else {
        ShowNotice(machine_->GetReady()
                       ? QStringLiteral("AVI Dump failed: ") + WriteFailure(file, file.string())
                       : QStringLiteral("AVI Dump needs a running game"));
    }
}

// Also when the capture stopped by itself: the reason is shown at once.
void TMainForm::EndDumpClick() {
    capturing_ = false;
    Item("mSDump")->setEnabled(true);
    Item("mEDump")->setEnabled(false);
    if (const FileResult stopped = machine_->StopAviDump(); !stopped)
        ShowNotice(QStringLiteral("AVI Dump failed: ") + QString::fromStdString(stopped.error));
}

void TMainForm::ShowNotice(const QString& text, NoticeKind kind) {
    noticeText_ = text;
    // A zero-width space after each '/' lets a long path break there.
    QString shown = text;
    shown.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    notice_->setText(shown);
    const int room = std::max(64, stack_->width() - 2 * kNoticeMargin);
    const int wanted = notice_->fontMetrics().horizontalAdvance(text) + 16;
    const int width = std::min(room, wanted);
    notice_->resize(width, notice_->heightForWidth(width));
    notice_->move(kNoticeMargin, kNoticeMargin);
    notice_->show();
    notice_->raise();
    noticeTimer_->start(kind == NoticeKind::Done ? kDoneNoticeMilliseconds : kNoticeMilliseconds);
}

// A save that failed is written again at the next pause or reset: the RAM is kept.
void TMainForm::ReportBatteryRam() {
    if (const FileResult& saved = machine_->BatteryRamSaveResult(); !saved)
        ShowNotice(QStringLiteral("Battery RAM not saved: ") + QString::fromStdString(saved.error));
}

QString TMainForm::Notice() const {
    return notice_->isVisible() || noticeTimer_->isActive() ? noticeText_ : QString();
}

QSize TMainForm::NoticeSize() const {
    return notice_->size();
}

// ---- Video mode ----------------------------------------------------------------------

// Full screen is asked of the window manager, which takes the border away itself; the tick
// marks follow the state the window reports (WindowStateChanged), not the request.
void TMainForm::SetWindowed() {
    if (isFullScreen()) showNormal();
    WindowStateChanged();
}

void TMainForm::SetFullScreen() {
    if (!isFullScreen()) {
        windowedGeometry_ = geometry();
        showFullScreen();
    }
    WindowStateChanged();
}

void TMainForm::WindowStateChanged() {
    const bool full = isFullScreen();
    if (QAction* item = Item(full ? "mFull" : "mWindowed")) item->setChecked(true);
    // Back from full screen, the window takes the size and place it had before.
    if (!full && windowedGeometry_.isValid()) {
        setGeometry(std::exchange(windowedGeometry_, QRect()));
    }
    window_->FullScreenChanged(full);
    if (machine_ && machine_->IsRunning()) ShowLogo(false);
}

// Hiding the menu bar keeps the picture's size: a window (not full screen, not maximised)
// shrinks by the bar's height, and grows again when it comes back.
void TMainForm::SetMenuBarShown(bool shown) {
    QMenuBar* bar = menuBar();
    if (bar->isVisible() == shown) return;
    const int height = shown ? bar->sizeHint().height() : bar->height();
    bar->setVisible(shown);
    video_->setCursor(shown ? Qt::ArrowCursor : Qt::BlankCursor);
    if ((windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) == 0)
        resize(width(), this->height() + (shown ? height : -height));
}

void TMainForm::SetGameTitle(const std::string& base) {
    setWindowTitle(base.empty() ? QStringLiteral("Velmar")
                                : QStringLiteral("Velmar - ") + QString::fromStdString(base));
}

// ---- Keys and drops ------------------------------------------------------------------

void TMainForm::keyPressEvent(QKeyEvent* event) {
    constexpr std::uint32_t kPauseKey = 'P';
    if (!event->isAutoRepeat() && machine_ && QtKeyState::KeysOf(*event).Code == kPauseKey &&
        !KeyPlaysAPad(kPauseKey)) {
        PauseKey();
        event->accept();
        return;
    }
    if (LogoShown() || event->isAutoRepeat() || !machine_) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    // The machine applies each of these at a frame boundary.
    switch (QtKeyState::KeysOf(*event).Code) {
    case 27: SetMenuBarShown(!menuBar()->isVisible()); break;
    case 116: SaveStateFile(); break;
    case 119: LoadStateFile(); break;
    case 120: machine_->GameReset(); break;
    case 123:
        machine_->ConsoleReset();
        ReportBatteryRam();
        break;
    default:
        if (!player_->Key(QtKeyState::KeysOf(*event).Code)) {
            QMainWindow::keyPressEvent(event);
            return;
        }
    }
    event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() && IsRomFile(urls.first().toLocalFile()))
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    // Loaded once the drop has finished, so a message box cannot block the drag source.
    const QString file = urls.first().toLocalFile();
    QTimer::singleShot(0, this, [this, file] { LoadRomFile(file); });
}

// ---- Frames --------------------------------------------------------------------------

// Runs on the window thread for each finished frame. Nothing may leave this slot: a failure
// pauses the machine and is told once.
void TMainForm::FrameHandedOver() {
    if (!machine_) return;
    try {
        machine_->ServiceHandOver();
        player_->AfterFrame(); // rewind and fast-forward follow their keys
        if (capturing_ && !machine_->GetAviDumping()) EndDumpClick(); // a frame failed
        lastFrame_ = std::chrono::steady_clock::now();
        if (framesShown_++ == 0) firstFrame_ = lastFrame_;
        if (sound_.UsingDevice() && sound_.IsPlaying()) {
            const std::uint32_t lead = machine_->GetPresenter().CursorDelta;
            leadSum_ += lead;
            ++leadCount_;
            leadMin_ = std::min(leadMin_, lead);
            leadMax_ = std::max(leadMax_, lead);
        }
        if (sound_.DeviceLost())
            FrameFailed(
                QStringLiteral("The sound device was lost; the game goes on without sound."));
    } catch (const std::exception& e) {
        FrameFailed(QString::fromUtf8(e.what()));
    } catch (...) {
        FrameFailed(QStringLiteral("unknown error"));
    }
}

double TMainForm::SecondsShown() const {
    return std::chrono::duration<double>(lastFrame_ - firstFrame_).count();
}

TMainForm::StreamLead TMainForm::SoundLead() const {
    if (leadCount_ == 0) return {};
    const double bytesPerMs = WaveFormatRecord{}.AvgBytesPerSec / 1000.0;
    return {static_cast<double>(leadSum_) / static_cast<double>(leadCount_) / bytesPerMs,
            leadMin_ / bytesPerMs, leadMax_ / bytesPerMs};
}

void TMainForm::FrameFailed(const QString& what) {
    if (frameFailed_) return;
    frameFailed_ = true;
    Pause();
    QTimer::singleShot(0, this, [this, what] {
        ShowError(QStringLiteral("The emulation was paused: ") + what);
        frameFailed_ = false;
    });
}

} // namespace velmar
