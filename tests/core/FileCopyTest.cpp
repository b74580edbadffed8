#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>
#include <sys/stat.h>
#include <functional>
#include <vector>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <set>

#include "components/controls/cProgressBar.h"
#include "core/FileCopy.h"
#include "tests/support/TestEnv.h"

namespace {

QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xFF);
    return data;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList folderEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs the copy window as the "Save As" command does and returns once it is
// gone (or after a safety limit, reported as a failure).
struct WindowRun {
    QString stateAtEnd;
    long barAtEnd = -1;
    bool closedItself = false;
};

// `then`, when given, runs once `when` holds (looked at while the window runs).
WindowRun runCopyWindow(const QString& source, const QString& dest, std::function<bool(FrmFileCopy*)> when = {},
                        std::function<void(FrmFileCopy*)> then = {})
{
    WindowRun run;
    FrmFileCopy* w = g_frmFileCopy();
    w->g_sSourceFile = source;
    w->g_sDestFile = dest;
    w->lblFrom->setText(source);
    w->lblTo->setText(dest);
    QObject::connect(w->tmrEnd, &QTimer::timeout, [w, &run] {
        run.stateAtEnd = w->lblState->text();
        run.barAtEnd = w->ProgressBar1->ProgressValue();
        run.closedItself = true;
    });
    QTimer watch;
    if (then) {
        QObject::connect(&watch, &QTimer::timeout, w, [w, &watch, when, then] {
            if (!when(w))
                return;
            watch.stop();
            then(w);
        });
        watch.start(10);
    }
    QTimer::singleShot(15000, w, [w] {
        ADD_FAILURE() << "the copy window did not close";
        w->cmdExit->setEnabled(true);
        w->close();
    });
    w->tmrStart->start();
    w->exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return run;
}

} // namespace

TEST(FileCopyClass, CopiesEveryLengthIdentically)
{
    QTemporaryDir dir;
    for (int size : {0, 1, 31999, 32000, 32001, 64000, 100000, 250007}) {
        SCOPED_TRACE(size);
        const QByteArray data = pattern(size);
        const QString src = dir.filePath(QString("src%1").arg(size));
        const QString dst = dir.filePath(QString("dst%1").arg(size));
        writeFile(src, data);
        FileCopyClass copy;
        copy.Copy(src, dst);
        EXPECT_TRUE(copy.Sucessfull());
        EXPECT_EQ(copy.ErrorText(), "");
        EXPECT_EQ(readFile(dst), data);
        EXPECT_EQ(copy.PercentREady(), 100);
        EXPECT_EQ(copy.SecondsTaken(), 0);
    }
    EXPECT_EQ(folderEntries(dir.path()).size(), 16u) << "no temporary files left";
}

TEST(FileCopyClass, ProgressGrowsWithEachWriteOfTwoChunks)
{
    QTemporaryDir dir;
    const struct { int size; long chunk; std::set<int> seen; } cases[] = {
        {100000, 0, {0, 64}},        // 32000-byte chunks: 64000 written, then 36000 at the end
        {32000, 0, {0}},             // one chunk: written once, at the end
        {100000, 8000, {0, 16, 32, 48, 64, 80, 96}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const QString src = dir.filePath("src");
        const QString dst = dir.filePath("dst");
        writeFile(src, pattern(c.size));
        FileCopyClass copy;
        copy.setCacheSize(c.chunk);
        std::set<int> seen;
        QTimer probe;
        probe.setInterval(0);
        QObject::connect(&probe, &QTimer::timeout, [&] { seen.insert(copy.PercentREady()); });
        probe.start();
        copy.Copy(src, dst);
        probe.stop();
        EXPECT_EQ(seen, c.seen);
        EXPECT_EQ(readFile(dst), pattern(c.size));
    }
}

TEST(FileCopyClass, ReplacesAnExistingDestinationWholly)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("src"), pattern(40000));
    writeFile(dir.filePath("dst"), QByteArray(90000, 'z'));
    FileCopyClass copy;
    copy.Copy(dir.filePath("src"), dir.filePath("dst"));
    EXPECT_TRUE(copy.Sucessfull());
    EXPECT_EQ(readFile(dir.filePath("dst")), pattern(40000));
}

TEST(FileCopyClass, RefusesToCopyAFileOntoItself)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("song.wav");
    writeFile(src, pattern(70000));
    ASSERT_TRUE(QDir().mkdir(dir.filePath("sub")));
    ASSERT_TRUE(QFile::link(src, dir.filePath("link.wav")));
    ASSERT_EQ(::link(QFile::encodeName(src).constData(), QFile::encodeName(dir.filePath("hard.wav")).constData()), 0);
    for (const QString& dest : {src, dir.filePath("sub/../song.wav"), dir.filePath("link.wav"), dir.filePath("hard.wav")}) {
        SCOPED_TRACE(dest.toStdString());
        FileCopyClass copy;
        copy.Copy(src, dest);
        EXPECT_FALSE(copy.Sucessfull());
        EXPECT_FALSE(copy.ErrorText().isEmpty());
        EXPECT_EQ(readFile(src), pattern(70000));
    }
}

TEST(FileCopyClass, MissingSourceCreatesNothing)
{
    QTemporaryDir dir;
    FileCopyClass copy;
    copy.Copy(dir.filePath("missing.wav"), dir.filePath("out.wav"));
    EXPECT_FALSE(copy.Sucessfull());
    EXPECT_TRUE(copy.ErrorText().contains("missing.wav"));
    EXPECT_TRUE(folderEntries(dir.path()).isEmpty());

    copy.Copy(dir.path(), dir.filePath("out.wav"));
    EXPECT_FALSE(copy.Sucessfull()) << "a folder is no file to copy";
    EXPECT_TRUE(folderEntries(dir.path()).isEmpty());
}

TEST(FileCopyClass, FailureKeepsTheOldDestinationAndLeavesNoPartialFile)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    const QString dst = dir.filePath("dst");
    writeFile(src, pattern(200000));
    writeFile(dst, "old content");
    FileCopyClass copy;
    // The source shrinks while it is being copied.
    QTimer shrink;
    shrink.setInterval(0);
    shrink.setSingleShot(true);
    QObject::connect(&shrink, &QTimer::timeout, [&] { QFile::resize(src, 10); });
    shrink.start();
    copy.Copy(src, dst);
    EXPECT_FALSE(copy.Sucessfull());
    EXPECT_FALSE(copy.ErrorText().isEmpty());
    EXPECT_LT(copy.PercentREady(), 100);
    EXPECT_EQ(readFile(dst), QByteArray("old content"));
    EXPECT_EQ(folderEntries(dir.path()), QStringList({"dst", "src"}));

    // A destination folder that does not exist.
    writeFile(src, pattern(100));
    copy.Copy(src, dir.filePath("nowhere/dst"));
    EXPECT_FALSE(copy.Sucessfull());
    EXPECT_FALSE(QDir(dir.filePath("nowhere")).exists());
}

TEST(CopyWholeFile, CopiesEveryLengthIdenticallyReportingEachStep)
{
    QTemporaryDir dir;
    const int step = 8 << 20;
    for (int size : {0, 1, 250007, step, step + 1}) {
        SCOPED_TRACE(size);
        const QByteArray data = pattern(size);
        const QString src = dir.filePath(QString("src%1").arg(size));
        const QString dst = dir.filePath(QString("dst%1").arg(size));
        writeFile(src, data);
        writeFile(dst, "an older copy");
        std::vector<qint64> steps;
        QString why;
        EXPECT_TRUE(CopyWholeFile(
            src, dst,
            [&](qint64 copied, qint64 total) {
                EXPECT_EQ(total, size);
                steps.push_back(copied);
                return true;
            },
            &why))
            << why.toStdString();
        EXPECT_EQ(readFile(dst), data);
        const std::vector<qint64> expected = size == 0      ? std::vector<qint64>{}
                                             : size > step ? std::vector<qint64>{step, size}
                                                           : std::vector<qint64>{size};
        EXPECT_EQ(steps, expected);
    }
    EXPECT_EQ(folderEntries(dir.path()).size(), 10u) << "no partial copies left";
}

// A stop, a source that changes or is not a file, or a copy onto the source
// itself: false, the destination as it was and nothing beside it.
TEST(CopyWholeFile, AFailedOrStoppedCopyLeavesTheDestinationAsItWas)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    const QString dst = dir.filePath("dst");
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        const char* what;
        QString source;
        QString destination;
        std::function<bool(qint64, qint64)> step;
    } cases[] = {
        {"stopped after the first step", src, dst, [](qint64, qint64) { return false; }},
        {"the source grows while it is copied", src, dst,
         [&](qint64, qint64) {
             QFile f(src);
             f.open(QIODevice::Append);
             f.write("more");
             return true;
         }},
        {"a missing source", dir.filePath("missing"), dst, {}},
        {"a folder", dir.path(), dst, {}},
        {"a FIFO", fifo, dst, {}},
        {"onto itself", src, src, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(src, pattern(100000));
        writeFile(dst, "old content");
        QString why;
        EXPECT_FALSE(CopyWholeFile(c.source, c.destination, c.step, &why));
        EXPECT_FALSE(why.isEmpty());
        EXPECT_EQ(readFile(dst), QByteArray("old content"));
        EXPECT_EQ(folderEntries(dir.path()), QStringList({"dst", "src"})); // the FIFO is no file it lists
    }
}

TEST(FileCopyWindow, CopiesAndClosesItself)
{
    testenv::ScriptedMessageBoxes boxes;
    QTemporaryDir dir;
    const QString src = dir.filePath("take.wav");
    const QString dst = dir.filePath("copy of take.wav");
    writeFile(src, pattern(100000));

    FrmFileCopy* w = g_frmFileCopy();
    EXPECT_EQ(w->windowTitle(), "File Copy");
    EXPECT_EQ(w->lblTitle->text(), "File Copy");
    EXPECT_EQ(w->Label1->text(), "From:");
    EXPECT_EQ(w->Label2->text(), "To:");
    EXPECT_EQ(w->lblState->text(), "State");
    EXPECT_EQ(w->cmdOk->text(), "OK");
    EXPECT_EQ(w->cmdExit->text(), "Exit");
    EXPECT_EQ(w->tmrStart->interval(), 100);
    EXPECT_FALSE(w->tmrStart->isActive());

    const WindowRun run = runCopyWindow(src, dst);
    EXPECT_TRUE(run.closedItself);
    EXPECT_EQ(run.stateAtEnd, "Ready");
    EXPECT_EQ(run.barAtEnd, 100);
    EXPECT_FALSE(g_frmFileCopyLoaded());
    EXPECT_EQ(readFile(dst), pattern(100000));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST(FileCopyWindow, RefusesToCloseWhileCopying)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("src"), pattern(400000));
    FrmFileCopy* w = g_frmFileCopy();
    int attempts = 0;
    bool stayedOpen = true;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!w->cmdExit->isEnabled() && attempts < 3) {
            ++attempts;
            w->close();
            w->reject();
            stayedOpen = stayedOpen && w->isVisible();
        }
    });
    probe.start();
    const WindowRun run = runCopyWindow(dir.filePath("src"), dir.filePath("dst"));
    probe.stop();
    EXPECT_GT(attempts, 0);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(run.closedItself);
    EXPECT_EQ(readFile(dir.filePath("dst")), pattern(400000));
}

TEST(FileCopyWindow, ReportsFailuresAndStaysOpen)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("song.wav");
    writeFile(src, pattern(100000));
    const struct { QString source; QString dest; } cases[] = {
        {dir.filePath("missing.wav"), dir.filePath("out.wav")},
        {src, src},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dest.toStdString());
        testenv::ScriptedMessageBoxes boxes;
        QString state;
        long bar = -1;
        bool exitEnabled = false, closing = true;
        // Once the failure has been told.
        const WindowRun run = runCopyWindow(
            c.source, c.dest, [&](FrmFileCopy*) { return !boxes.shown().empty(); },
            [&](FrmFileCopy* w) {
                state = w->lblState->text();
                bar = w->ProgressBar1->ProgressValue();
                exitEnabled = w->cmdExit->isEnabled();
                closing = w->tmrEnd->isActive();
                w->cmdExit->click();
            });
        EXPECT_FALSE(run.closedItself);
        EXPECT_FALSE(closing) << "the window would close itself";
        EXPECT_EQ(state, "Copy failed");
        EXPECT_NE(bar, 100);
        EXPECT_TRUE(exitEnabled);
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].icon(), int(vbExclamation));
        EXPECT_TRUE(boxes.shown()[0].prompt.contains(QFileInfo(c.dest).fileName()) ||
                    boxes.shown()[0].prompt.contains("missing.wav"));
        EXPECT_FALSE(g_frmFileCopyLoaded());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.wav")));
    EXPECT_EQ(readFile(src), pattern(100000));
    EXPECT_EQ(folderEntries(dir.path()), QStringList({"song.wav"}));
}
