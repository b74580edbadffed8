// One program per settings store: a second claim fails and wakes the first;
// a socket left by a crashed run does not keep the program from starting.
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/SingleInstance.h"

namespace {

TEST(SingleInstance, ASecondStartWakesTheFirstAndAStaleLockIsTakenOver)
{
    QTemporaryDir dir;
    const QString key = dir.path() + "/registry";
    {
        SingleInstance first(key);
        ASSERT_TRUE(first.claim());
        QSignalSpy woken(&first, &SingleInstance::activationRequested);
        SingleInstance second(key);
        EXPECT_FALSE(second.claim());
        EXPECT_TRUE(woken.wait(3000));

        SingleInstance elsewhere(dir.path() + "/other");
        EXPECT_TRUE(elsewhere.claim()) << "another settings store is another program";
    }

    // A crashed run leaves its socket file with nobody listening.
    SingleInstance probe(key);
    const QString path = probe.serverName();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    ASSERT_LT(size_t(p.size()), sizeof(addr.sun_path));
    memcpy(addr.sun_path, p.constData(), size_t(p.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(fd); // bound, never listened, never removed
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(probe.claim());
}

// Another spelling of the same store is the same program: one of them runs,
// the other wakes it.
TEST(SingleInstance, EverySpellingOfTheStoreIsTheSameProgram)
{
    QTemporaryDir dir;
    const QString store = dir.path() + "/registry";
    ASSERT_TRUE(QDir().mkpath(store));
    ASSERT_TRUE(QFile::link(store, dir.path() + "/link"));
    const QString relative = QDir::current().relativeFilePath(store);
    const struct {
        const char* what;
        QString spelling;
    } cases[] = {
        {"a trailing slash", store + "/"},
        {"a doubled slash", dir.path() + "//registry"},
        {"a dot part", dir.path() + "/./registry"},
        {"a dot-dot part", store + "/../registry"},
        {"a symbolic link", dir.path() + "/link"},
        {"a relative path", relative},
    };
    for (const auto& c : cases) {
        SingleInstance first(store);
        ASSERT_TRUE(first.claim()) << c.what;
        QSignalSpy woken(&first, &SingleInstance::activationRequested);
        SingleInstance second(c.spelling);
        EXPECT_FALSE(second.claim()) << c.what;
        EXPECT_TRUE(woken.wait(3000)) << c.what;
    }
}

// The running program's socket file removed from under it (a cleaner of
// temporary files, say): a second start still finds it running.
TEST(SingleInstance, ARunningProgramWhoseSocketWentStillKeepsASecondStartOut)
{
    QTemporaryDir dir;
    const QString key = dir.path() + "/registry";
    SingleInstance first(key);
    ASSERT_TRUE(first.claim());
    ASSERT_TRUE(QFile::remove(first.serverName()));
    SingleInstance second(key);
    EXPECT_FALSE(second.claim());
}

} // namespace
