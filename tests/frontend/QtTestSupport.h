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
