// main() of every test binary: each process gets a fresh settings store,
// config folder and program folder, and runs under the offscreen platform.
#include <QApplication>

#include "components/cSysTray.h"
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tests/support/TestEnv.h"

namespace {
QTemporaryDir* g_root = nullptr;
}

namespace testenv {
QString tempRoot() { return g_root->path(); }
} // namespace testenv

namespace {

int runTests(int argc, char** argv)
{
    // Before the application object exists; test discovery runs without our environment.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir root;
    g_root = &root;
    QDir().mkpath(root.path() + "/program/Main");
    QDir().mkpath(root.path() + "/registry");
    QDir().mkpath(root.path() + "/config");
    qputenv("KELVANE_REGISTRY_ROOT", (root.path() + "/registry").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toLocal8Bit());
    qputenv("KELVANE_PROGRAM_DIR", (root.path() + "/program").toLocal8Bit());

    // No test may reach the real login manager.
    platform::setPowerService(&testenv::refusingPower());

    QApplication app(argc, argv);
    // The offscreen platform has no tray; the tests stand for a desktop with
    // one unless they say otherwise.
    cSysTray::setTrayAvailableOverride(1);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    g_root = nullptr;
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    const int rc = runTests(argc, argv);
    // Leave without the library destructors that run at exit: the sound
    // server's client library, as Qt Multimedia tears it down, frees its
    // connection while its own thread still runs and now and then aborts a
    // process whose tests have all passed.
    std::fflush(nullptr);
    std::_Exit(rc);
}
