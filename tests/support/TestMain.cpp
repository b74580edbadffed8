// main() of every test binary: each process gets a fresh settings store,
// config folder and program folder, and runs under the offscreen platform.
// Every test starts from that state again, so that a binary run whole, in
// any order, gives each test what a process of its own would.
#include <QApplication>

#include "components/controls/cSysTray.h"
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <string>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tests/support/TestEnv.h"

namespace {
QTemporaryDir* g_root = nullptr;
}

extern char** environ;

namespace testenv {
QString tempRoot() { return g_root->path(); }
} // namespace testenv

namespace {

// The folders a process starts with, empty.
void makeFreshFolders(const QString& root)
{
    for (const char* sub : {"/registry", "/config", "/program"})
        QDir(root + sub).removeRecursively();
    QDir().mkpath(root + "/program/Main");
    QDir().mkpath(root + "/registry");
    QDir().mkpath(root + "/config");
}

std::map<std::string, std::string> environment()
{
    std::map<std::string, std::string> vars;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        const size_t eq = entry.find('=');
        if (eq != std::string::npos)
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    return vars;
}

// Before each test: the settings store, config and program folders as the
// process started with them, the environment as it was after set-up (tests
// point variables at their own fixtures), and a tray.
class FreshProcessState : public ::testing::EmptyTestEventListener {
public:
    explicit FreshProcessState(QString root) : m_root(std::move(root)), m_environment(environment()) {}

    void OnTestStart(const ::testing::TestInfo&) override
    {
        makeFreshFolders(m_root);
        const auto now = environment();
        for (const auto& [name, value] : now)
            if (!m_environment.count(name))
                ::unsetenv(name.c_str());
        for (const auto& [name, value] : m_environment) {
            const auto it = now.find(name);
            if (it == now.end() || it->second != value)
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        cSysTray::setTrayAvailableOverride(1);
        platform::setPowerService(&testenv::refusingPower());
    }

private:
    QString m_root;
    std::map<std::string, std::string> m_environment;
};

int runTests(int argc, char** argv)
{
    // Before the application object exists; test discovery runs without our environment.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir root;
    g_root = &root;
    makeFreshFolders(root.path());
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
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshProcessState(root.path()));
    const int rc = RUN_ALL_TESTS();
    g_root = nullptr;
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    const int rc = runTests(argc, argv);
    // Leave without the library destructors that run at exit: the sound
    // server's client library keeps its own thread running to the end, and
    // nothing it may still use is torn down under it.
    std::fflush(nullptr);
    std::_Exit(rc);
}
