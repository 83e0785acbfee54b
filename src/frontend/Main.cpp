// The desktop program: velmar [--data-dir DIR] [--bios] [--stats] [ROM]
#include "frontend/MainForm.h"
#include "platform/CpuFeatures.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void RequestStop(int) {
    g_stopRequested.store(true);
}

// SIGTERM and SIGINT act as Exit. Caught before anything else, so that a stop that comes
// while the program starts, or while a message box is open, still ends it through Exit.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// Once a stop was asked for: an open menu, dialog or message box is closed first (it may be
// waiting inside a command), then the window, as Exit. No one may be there to read a
// message box then, so what Exit reports goes to the standard error.
void StopWhenAsked(velmar::TMainForm* window) {
    if (!g_stopRequested.load()) return;
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    } else if (window != nullptr) {
        window->ShowError = [](const QString& text) {
            std::fprintf(stderr, "velmar: %s\n", text.toLocal8Bit().constData());
        };
        window->close();
    }
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

int Usage(const char* message) {
    std::fprintf(stderr, "velmar: %s\nusage: velmar [--data-dir DIR] [--bios] [--stats] [ROM]\n",
                 message);
    return 2;
}

// Qt ends the process with an abort when no window system answers; say so plainly first.
bool HasWindowSystem() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    CatchStopSignals();
    if (!HasWindowSystem()) {
        std::fprintf(stderr, "velmar: no display to open a window on (DISPLAY is not set); "
                             "velmar-cli runs the emulator without one\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmar"));
    velmar::TMainForm* shown = nullptr;
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, [&shown] { StopWhenAsked(shown); });
    stopWatch.start(100);
    if (!velmar::HasRequiredCpuFeatures()) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmar"),
                              QString::fromLatin1(velmar::kCpuFeaturesMissingMessage));
        return 1;
    }

    std::filesystem::path dataFolder;
    QString rom;
    bool bios = false;
    bool stats = false;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--data-dir")) {
            if (++i == args.size()) return Usage("--data-dir needs a folder");
            dataFolder = args[i].toStdString();
        } else if (a == QLatin1String("--bios")) {
            bios = true;
        } else if (a == QLatin1String("--stats")) {
            stats = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return Usage(("unknown option " + a.toStdString()).c_str());
        } else if (rom.isEmpty()) {
            rom = a;
        } else {
            return Usage("one ROM at most");
        }
    }
    if (dataFolder.empty()) dataFolder = velmar::GameFiles::DefaultDataFolder(ProgramFolder());
    // Without one the game files would land in whatever the current folder is.
    if (dataFolder.empty())
        return Usage("no folder for the game files: set HOME or use --data-dir");

    velmar::TMainForm::Options options;
    options.DataFolder = dataFolder;
    velmar::TMainForm window(options);
    shown = &window;
    window.show();
    // Once the window is on the screen, so that a message about the ROM opens over it.
    window.WhenShown([&window, rom, bios] {
        if (!rom.isEmpty())
            window.LoadRomFile(rom);
        else if (bios)
            window.RunBiosCommand();
    });

    const int code = QApplication::exec();
    shown = nullptr;
    if (stats) {
        const double seconds = window.SecondsShown();
        const auto frames = static_cast<double>(window.FramesShown());
        const auto lead = window.SoundLead();
        std::fprintf(stderr,
                     "fps: %u  frames: %.0f in %.3f s (%.4f per second)  sound device: %s  "
                     "sound rewinds: %u  sound lead: %.1f ms (%.1f to %.1f)\n",
                     window.LastFps(), frames, seconds, seconds > 0 ? (frames - 1) / seconds : 0.0,
                     window.Sound().UsingDevice() ? "yes" : "no", window.Sound().Rewinds(),
                     lead.MeanMs, lead.MinMs, lead.MaxMs);
    }
    return code != 0 || window.ExitFailures().isEmpty() ? code : 1;
}
