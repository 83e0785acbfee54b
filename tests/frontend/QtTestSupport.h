#pragma once

#include <QApplication>

#include <cstdlib>

namespace velmar::test {

// The one application object of a window test, on Qt's offscreen platform and SDL's
// silent audio driver unless the environment says otherwise.
inline QApplication& TestApplication() {
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        static int argc = 1;
        static char name[] = "velmar-test";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

} // namespace velmar::test

// Fontconfig keeps its caches to the end of the process (Qt never calls FcFini): not ours
// to report when a window test draws text under the leak checker.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
