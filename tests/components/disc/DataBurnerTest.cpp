// Both data burner components against stdio: writers (files standing for
// discs): what they list and check, the image they write read back through
// libisofs, and their event contracts on success, refusal and cancel.
#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <libisofs/libisofs.h>
#include <sys/stat.h>

#include "components/disc/DataDiscBurn.h"
#include "components/disc/cAudioDataBurner.h"
#include "components/disc/cBurner.h"
#include "tests/components/disc/IsoReadBack.h"

namespace {

QByteArray Pattern(int size, int seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 31 + seed * 7) & 0xff);
    return b;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A temporary folder with files to burn and the stdio writers named in
// KELVANE_DATA_WRITERS ("Z:" the first, "Y:" the second).
class DataBurnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_target = m_dir.filePath("disc.iso");
        m_second = m_dir.filePath("second.iso");
        qputenv("KELVANE_DATA_WRITERS", (m_target + ":" + m_second).toLocal8Bit());
    }
    void TearDown() override { qunsetenv("KELVANE_DATA_WRITERS"); }

    QString MakeFile(const QString& name, const QByteArray& bytes)
    {
        const QString p = m_dir.filePath(name);
        EXPECT_TRUE(WriteFile(p, bytes));
        return p;
    }

    QTemporaryDir m_dir;
    QString m_target;
    QString m_second;
};

// The events of a first-engine burn, in order.
struct V1Events {
    QStringList log;
    long stopCode = 0;
    QString stopText;
    void attach(cAudioDataBurner& b)
    {
        QObject::connect(&b, &cAudioDataBurner::BurnStarted, [this] { log << "started"; });
        QObject::connect(&b, &cAudioDataBurner::BurnProgress, [this](int p) {
            if (p == 100)
                log << "100%";
        });
        QObject::connect(&b, &cAudioDataBurner::ClosingSession, [this] { log << "closing"; });
        QObject::connect(&b, &cAudioDataBurner::BurnFinished, [this] { log << "finished"; });
        QObject::connect(&b, &cAudioDataBurner::BurnStopped, [this](long code, const QString& text) {
            stopCode = code;
            stopText = text;
            log << "stopped";
        });
    }
    bool ended() const { return log.contains("finished") || log.contains("stopped"); }
    bool wait()
    {
        const bool ok = QTest::qWaitFor([&] { return ended(); }, 60000);
        QTest::qWait(100); // a second end event would show here
        return ok;
    }
};

// The events of a second-engine burn, in order.
struct V2Events {
    QStringList log;
    void attach(cBurner& b)
    {
        QObject::connect(&b, &cBurner::BurnerInitializing, [this] { log << "init"; });
        QObject::connect(&b, &cBurner::BurnerAdding, [this](const QString& p) { log << "add " + QFileInfo(p).fileName(); });
        QObject::connect(&b, &cBurner::BurnerFileCount,
                         [this](long files, long dirs) { log << QStringLiteral("count %1 %2").arg(files).arg(dirs); });
        QObject::connect(&b, &cBurner::StartBurning, [this] { log << "start"; });
        QObject::connect(&b, &cBurner::BurnerFinalization, [this] { log << "final"; });
        QObject::connect(&b, &cBurner::BurnerCompleted, [this] { log << "completed"; });
        QObject::connect(&b, &cBurner::BurnerDoneBurn, [this] { log << "done"; });
        QObject::connect(&b, &cBurner::BurnerCanceled, [this] { log << "canceled"; });
        QObject::connect(&b, &cBurner::BurnerMessage,
                         [this](const QString& first, const QString& second) { log << "message " + first; });
        QObject::connect(&b, &cBurner::BurnerEnd, [this] { log << "end"; });
    }
    bool ended() const
    {
        return log.contains("end") || log.contains("canceled") ||
               std::any_of(log.begin(), log.end(), [](const QString& s) { return s.startsWith("message"); });
    }
    bool wait()
    {
        const bool ok = QTest::qWaitFor([&] { return ended(); }, 60000);
        QTest::qWait(100);
        return ok;
    }
};

TEST_F(DataBurnerTest, ListsTheStdioWritersByLetterAfterTheMachinesDrives)
{
    cAudioDataBurner burner;
    const int n = burner.DriveCount();
    ASSERT_GE(n, 2);
    EXPECT_EQ(burner.DriveName(n - 1), "Z: stdio:" + m_target);
    EXPECT_EQ(burner.DriveName(n), "Y: stdio:" + m_second);
    EXPECT_EQ(burner.DriveName(0), "");
    EXPECT_EQ(burner.DriveName(n + 1), "");

    cBurner v2;
    ASSERT_EQ(v2.DriveCount(), n);
    EXPECT_EQ(v2.DrivePath(n - 2), "Z:");
    EXPECT_EQ(v2.DriveName(n - 2), "stdio:" + m_target);
    EXPECT_EQ(v2.DrivePath(n), "");
}

TEST_F(DataBurnerTest, BurnsBothFilesWithLabelAndJolietNamesAndEqualBytes)
{
    const QByteArray a = Pattern(300000, 1), b = Pattern(5000, 2);
    const QString fa = MakeFile("First Song - long name.mp3", a);
    const QString fb = MakeFile("b.wma", b);

    cAudioDataBurner burner;
    burner.DriveCount();
    EXPECT_TRUE(burner.IsDriveReady("Z"));
    EXPECT_TRUE(burner.IsDiscEmpty("Z"));
    EXPECT_FALSE(QFileInfo::exists(m_target)) << "checking a drive writes nothing";
    ASSERT_TRUE(burner.AddDiscFile(fa));
    ASSERT_TRUE(burner.AddDiscFile(fb));
    burner.setVolumeLabel("My List");
    burner.setFileSystem("CDFS");
    burner.setIdentityText1("Kelvane");
    burner.setIdentityText2("Kelvane");
    burner.setBurnFlag(false);

    V1Events ev;
    ev.attach(burner);
    burner.BurnToDrive("Z", 65535);
    EXPECT_TRUE(ev.log.isEmpty()) << "events arrive queued, never inside the call";
    ASSERT_TRUE(ev.wait());
    EXPECT_EQ(ev.log, QStringList({"started", "100%", "closing", "finished"}));
    EXPECT_FALSE(burner.Burning());

    const IsoContents iso = ReadIsoImage(m_target);
    ASSERT_TRUE(iso.ok) << iso.error.toStdString();
    EXPECT_EQ(iso.isoVolumeId, "MY_LIST");
    EXPECT_EQ(iso.jolietVolumeId, "My List");
    EXPECT_TRUE(iso.hasJoliet);
    ASSERT_EQ(iso.rootFiles.keys(), QStringList({"First Song - long name.mp3", "b.wma"}));
    EXPECT_EQ(iso.rootFiles.value("First Song - long name.mp3"), a);
    EXPECT_EQ(iso.rootFiles.value("b.wma"), b);

    // Written once, the disc is no longer empty; the added files were used up.
    EXPECT_TRUE(burner.IsDriveReady("Z"));
    EXPECT_FALSE(burner.IsDiscEmpty("Z"));
    EXPECT_TRUE(burner.DiscFiles().isEmpty());
}

TEST_F(DataBurnerTest, AcceptsOnlyReadableFilesEachNameOnce)
{
    const QString good = MakeFile("a.mp3", "abc");
    QDir().mkpath(m_dir.filePath("sub"));
    const QString sameName = m_dir.filePath("sub/a.mp3");
    WriteFile(sameName, "xyz");
    struct Case {
        const char* what;
        QString path;
        bool accepted;
    } cases[] = {
        {"a readable file", good, true},
        {"the same name again", sameName, false},
        {"a missing file", m_dir.filePath("missing.mp3"), false},
        {"a folder", m_dir.filePath("sub"), false},
        {"an empty path", QString(), false},
    };
    cAudioDataBurner burner;
    for (const Case& c : cases)
        EXPECT_EQ(burner.AddDiscFile(c.path), c.accepted) << c.what;
    EXPECT_EQ(burner.DiscFiles(), QStringList({good}));
}

TEST_F(DataBurnerTest, LabelsAndPublisherTakeEachDescriptorsCharacters)
{
    struct Case {
        QString typed;
        QString iso;
        QString joliet;
    } cases[] = {
        {"", "", ""},
        {"Road-Trip 2024", "ROAD_TRIP_2024", "Road-Trip 2024"},
        {QString(40, 'x'), QString(32, 'X'), QString(16, 'x')},
        {QString::fromUtf8("Sommer äöü Mix"), "SOMMER_____MIX", QString::fromUtf8("Sommer äöü Mix")},
        {QString::fromUtf8("a😀b"), "A_B", QString::fromUtf8("a😀b")},
        {QString(15, 'y') + QString::fromUtf8("😀"), QString(15, 'Y') + "_", QString(15, 'y')}, // no half character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(datadisc::IsoVolumeId(c.typed), c.iso) << c.typed.toStdString();
        EXPECT_EQ(datadisc::JolietVolumeId(c.typed), c.joliet) << c.typed.toStdString();
    }
    EXPECT_EQ(datadisc::IsoPublisherId(QString::fromUtf8("Pub-Co. (äö) #1")), "PUB-CO. (__) _1");

    // What both engines write, read from the descriptors.
    const QString f = MakeFile("x.mp3", "123");
    const QString label = QString::fromUtf8("Sommer äöü Mix 2024 extra");
    {
        cAudioDataBurner burner;
        burner.DriveCount();
        burner.AddDiscFile(f);
        burner.setVolumeLabel(label);
        burner.setPublisherID("Publisher");
        V1Events ev;
        ev.attach(burner);
        burner.BurnToDrive("Z", 65535);
        ASSERT_TRUE(ev.wait());
        ASSERT_TRUE(ev.log.contains("finished")) << ev.stopText.toStdString();
    }
    for (bool udf : {false, true}) {
        cBurner burner;
        const int y = burner.DriveCount() - 1;
        burner.NewDiscImage();
        burner.setUseJoliet(true);
        burner.setUseUDF(udf);
        burner.setVolumeLabel(label);
        burner.setPublisherID("Publisher");
        burner.AddDiscFile(f);
        V2Events ev;
        ev.attach(burner);
        burner.BurnToDrive(y);
        ASSERT_TRUE(ev.wait());
        ASSERT_TRUE(ev.log.contains("end")) << ev.log.join(",").toStdString();
        for (const QString& disc : {m_target, m_second}) {
            if (disc == m_target && udf)
                continue;
            const IsoContents iso = ReadIsoImage(disc);
            const std::string what = (disc == m_target ? "first engine" : udf ? "UDF" : "second engine");
            ASSERT_TRUE(iso.ok) << what;
            EXPECT_EQ(iso.isoVolumeId, "SOMMER_____MIX_2024_EXTRA") << what;
            EXPECT_EQ(iso.jolietVolumeId, label.left(16)) << what;
            EXPECT_EQ(iso.isoPublisherId, "PUBLISHER") << what;
            EXPECT_EQ(iso.jolietPublisherId, "Publisher") << what;
        }
        if (udf) {
            const UdfContents u = ReadUdfImage(m_second);
            ASSERT_TRUE(u.ok) << u.error.toStdString();
            EXPECT_EQ(u.label, label);
        }
        QFile::remove(m_second);
    }
    // isoinfo, a reader of its own, sees the publisher too.
    QProcess isoinfo;
    isoinfo.start("isoinfo", {"-d", "-i", m_target});
    ASSERT_TRUE(isoinfo.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(isoinfo.readAllStandardOutput()).contains("Publisher id: PUBLISHER"));
}

TEST_F(DataBurnerTest, NamesTooLongForJolietAreCutKeepingTheirExtensionAndStayUnique)
{
    const QString dir = m_dir.path() + "/";
    const QString long1 = QString(120, 'a') + ".mp3";
    const QString long2 = QString(110, 'a') + ".mp3"; // cut to the same name as long1
    const QString exact = QString(99, 'b') + ".mp3";   // 103: stays
    const QStringList names = datadisc::DiscNames({dir + long1, dir + "short.mp3", dir + long2, dir + exact});
    EXPECT_EQ(names, QStringList({QString(99, 'a') + ".mp3", "short.mp3", QString(97, 'a') + "~1.mp3", exact}));
    for (const QString& n : names)
        EXPECT_LE(n.size(), datadisc::kJolietNameLimit);
}

TEST_F(DataBurnerTest, ATargetHoldingDataIsNotEmptyAndIsLeftAlone)
{
    const QByteArray old = Pattern(4096, 9);
    ASSERT_TRUE(WriteFile(m_target, old));
    const QString f = MakeFile("a.mp3", "abc");

    cAudioDataBurner burner;
    burner.DriveCount();
    EXPECT_TRUE(burner.IsDriveReady("Z"));
    EXPECT_FALSE(burner.IsDiscEmpty("Z"));
    burner.AddDiscFile(f);
    V1Events ev;
    ev.attach(burner);
    burner.BurnToDrive("Z", 65535);
    ASSERT_TRUE(ev.wait());
    EXPECT_EQ(ev.log, QStringList({"stopped"}));
    EXPECT_EQ(ev.stopCode, datadisc::ErrNotBlank);
    QFile t(m_target);
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    EXPECT_EQ(t.readAll(), old);
}

TEST_F(DataBurnerTest, UnknownDriveLettersAreRefused)
{
    cAudioDataBurner burner;
    burner.DriveCount();
    EXPECT_FALSE(burner.IsDriveReady("Q"));
    EXPECT_FALSE(burner.IsDiscEmpty(""));
    EXPECT_EQ(burner.SpeedCount("Q"), 0);
    V1Events ev;
    ev.attach(burner);
    burner.BurnToDrive("Q", 65535);
    ASSERT_TRUE(ev.wait());
    EXPECT_EQ(ev.stopCode, datadisc::ErrNoWriter);
}

TEST_F(DataBurnerTest, ACancelledBurnEndsAbortedAndLeavesTheTargetBlank)
{
    // A sparse file big enough that the burn is still writing when cancelled.
    const QString big = m_dir.filePath("big.wav");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(400) * 1024 * 1024));
    }
    cAudioDataBurner burner;
    burner.DriveCount();
    burner.AddDiscFile(big);
    V1Events ev;
    ev.attach(burner);
    QObject::connect(&burner, &cAudioDataBurner::BurnStarted, &burner, [&] { burner.CancelBurn(); });
    burner.BurnToDrive("Z", 65535);
    ASSERT_TRUE(ev.wait());
    EXPECT_EQ(ev.log.last(), "stopped");
    EXPECT_FALSE(ev.log.contains("finished"));
    EXPECT_EQ(ev.stopCode, datadisc::ErrCancelled);
    EXPECT_EQ(ev.stopText, "Aborted.");
    EXPECT_FALSE(QFileInfo::exists(m_target)) << "a cancelled burn leaves the pseudo-disc blank";
    EXPECT_TRUE(burner.IsDiscEmpty("Z"));
}

TEST_F(DataBurnerTest, SecondEngineBurnsTheLayoutAndFollowsTheJolietSwitch)
{
    const QByteArray a = Pattern(70000, 3);
    const QString fa = MakeFile("Track One.mp3", a);
    const QString missing = m_dir.filePath("gone.mp3");
    for (bool joliet : {true, false}) {
        QFile::remove(m_target);
        cBurner burner;
        const int z = burner.DriveCount() - 2;
        burner.NewDiscImage();
        burner.setUseISO9660(true);
        burner.setUseJoliet(joliet);
        burner.setUseUDF(false);
        burner.setVolumeLabel("Disc");
        burner.AddDiscFile(fa);
        burner.AddDiscFile(missing);
        V2Events ev;
        ev.attach(burner);
        burner.BurnToDrive(z);
        EXPECT_TRUE(ev.log.isEmpty());
        ASSERT_TRUE(ev.wait());
        EXPECT_EQ(ev.log, QStringList({"init", "add Track One.mp3", "count 1 0", "start", "final", "completed", "done",
                                       "end"}));
        const IsoContents iso = ReadIsoImage(m_target);
        ASSERT_TRUE(iso.ok) << iso.error.toStdString() << " joliet " << joliet;
        EXPECT_EQ(iso.hasJoliet, joliet);
        EXPECT_EQ(iso.isoVolumeId, "DISC");
        EXPECT_EQ(iso.jolietVolumeId, joliet ? "Disc" : "");
        ASSERT_EQ(iso.rootFiles.size(), 1);
        EXPECT_EQ(iso.rootFiles.first(), a);
    }
}

TEST_F(DataBurnerTest, SecondEngineReportsRefusalsAndCancelAsItsEnd)
{
    const QString f = MakeFile("a.mp3", Pattern(1000, 4));
    {
        // A written target.
        WriteFile(m_target, "data");
        cBurner burner;
        const int z = burner.DriveCount() - 2;
        burner.NewDiscImage();
        burner.AddDiscFile(f);
        V2Events ev;
        ev.attach(burner);
        burner.BurnToDrive(z);
        ASSERT_TRUE(ev.wait());
        EXPECT_EQ(ev.log.last(), QStringLiteral("message %1").arg(datadisc::ErrNotBlank));
        EXPECT_FALSE(ev.log.contains("end"));
        QFile::remove(m_target);
    }
    {
        // Nothing readable to burn.
        cBurner burner;
        const int z = burner.DriveCount() - 2;
        burner.NewDiscImage();
        burner.AddDiscFile(m_dir.filePath("none.mp3"));
        V2Events ev;
        ev.attach(burner);
        burner.BurnToDrive(z);
        ASSERT_TRUE(ev.wait());
        EXPECT_EQ(ev.log, QStringList({"init", "count 0 0", QStringLiteral("message %1").arg(datadisc::ErrNoFiles)}));
    }
    {
        // Cancelled as soon as it starts writing, and (UDF) while its image is made.
        const QString big = m_dir.filePath("big.wav");
        QFile b(big);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        ASSERT_TRUE(b.resize(qint64(400) * 1024 * 1024));
        b.close();
        for (const char* when : {"writing", "writing udf", "making udf"}) {
            SCOPED_TRACE(when);
            const bool udf = QByteArray(when).contains("udf");
            cBurner burner;
            const int z = burner.DriveCount() - 2;
            burner.NewDiscImage();
            burner.setUseUDF(udf);
            burner.AddDiscFile(big);
            V2Events ev;
            ev.attach(burner);
            if (QByteArray(when) == "making udf")
                QObject::connect(&burner, &cBurner::BurnerFileCount, &burner, [&] { burner.CancelBurn(); });
            else
                QObject::connect(&burner, &cBurner::StartBurning, &burner, [&] { burner.CancelBurn(); });
            burner.BurnToDrive(z);
            ASSERT_TRUE(ev.wait());
            EXPECT_EQ(ev.log.last(), "canceled");
            EXPECT_FALSE(ev.log.contains("end"));
            EXPECT_FALSE(QFileInfo::exists(m_target));
            EXPECT_TRUE(QDir(QDir::tempPath())
                            .entryList({QStringLiteral("kelvane-udf-%1-*").arg(QCoreApplication::applicationPid())},
                                       QDir::Dirs)
                            .isEmpty())
                << "the UDF image goes with the burn";
        }
    }
}

TEST_F(DataBurnerTest, ReleasingDuringABurnStopsItWithoutEvents)
{
    const QString big = m_dir.filePath("big.wav");
    QFile b(big);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    ASSERT_TRUE(b.resize(qint64(400) * 1024 * 1024));
    b.close();
    cAudioDataBurner burner;
    burner.DriveCount();
    burner.AddDiscFile(big);
    V1Events ev;
    ev.attach(burner);
    bool released = false;
    QObject::connect(&burner, &cAudioDataBurner::BurnStarted, &burner, [&] {
        burner.ReleaseComponent();
        released = true;
    });
    burner.BurnToDrive("Z", 65535);
    ASSERT_TRUE(QTest::qWaitFor([&] { return released; }, 60000));
    QTest::qWait(200);
    EXPECT_EQ(ev.log, QStringList({"started"}));
    EXPECT_FALSE(burner.Burning());
    EXPECT_FALSE(QFileInfo::exists(m_target));
}

} // namespace

namespace {

datadisc::BurnResult BurnNow(const QString& address, const QStringList& files, bool udf = false,
                             const std::function<void()>& onWriting = {})
{
    datadisc::ImageLayout layout;
    layout.files = files;
    layout.volumeLabel = "Disc";
    layout.udf = udf;
    std::atomic<bool> cancel{false};
    datadisc::BurnEvents ev;
    // Once the writer has written something (its file exists then).
    bool called = false;
    ev.progress = [&](int percent) {
        if (percent > 0 && percent < 100 && !called && onWriting) {
            called = true;
            onWriting();
        }
    };
    const datadisc::BurnResult r = datadisc::BurnImage(address, layout, 0, cancel, ev);
    if (!called && onWriting && r.code == datadisc::Ok)
        ADD_FAILURE() << "the burn ended before it was seen writing";
    return r;
}

QStringList FilesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

// A target that cannot take a disc is refused with its own cause, and left as it was.
TEST_F(DataBurnerTest, StdioTargetsThatCannotTakeADiscSayWhy)
{
    const QString f = MakeFile("a.mp3", Pattern(3000, 5));
    const QString fifo = m_dir.filePath("pipe.iso");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString full = m_dir.filePath("full.iso");
    WriteFile(full, "data");
    QDir().mkpath(m_dir.filePath("folder.iso"));
    struct Case {
        QString address;
        int code;
        QString text;
    } cases[] = {
        {"stdio:", datadisc::ErrNoWriter, "The writer names no file to write the disc to."},
        {"stdio:" + fifo, datadisc::ErrNoWriter, "The target is not a regular file."},
        {"stdio:" + m_dir.filePath("folder.iso"), datadisc::ErrNoWriter, "The target is a folder."},
        {"stdio:" + m_dir.filePath("no/such/disc.iso"), datadisc::ErrNoWriter,
         "The folder of the target does not exist."},
        {"stdio:" + full, datadisc::ErrNotBlank, "The disc is not empty."},
    };
    for (const Case& c : cases) {
        const datadisc::DriveState st = datadisc::ProbeDrive(c.address);
        EXPECT_FALSE(st.ready && st.blank) << c.address.toStdString();
        EXPECT_EQ(st.why, c.code == datadisc::ErrNotBlank ? QString() : c.text) << c.address.toStdString();
        const datadisc::BurnResult r = BurnNow(c.address, {f});
        EXPECT_EQ(r.code, c.code) << c.address.toStdString();
        EXPECT_EQ(r.text, c.text) << c.address.toStdString();
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    QFile t(full);
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    EXPECT_EQ(t.readAll(), "data");
}

// A link standing for the disc: a good burn writes where it leads, a failed
// one leaves the link and no file behind it.
TEST_F(DataBurnerTest, ALinkTargetGetsTheDiscOnlyWhenTheBurnEndsWell)
{
    const QString small = MakeFile("a.mp3", Pattern(3000, 6));
    const QString link = m_dir.filePath("link.iso");
    const QString dest = m_dir.filePath("dest.iso");
    ASSERT_TRUE(QFile::link(dest, link));
    const QString big = m_dir.filePath("big.wav");
    {
        QFile b(big);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        ASSERT_TRUE(b.resize(qint64(200) * 1024 * 1024));
    }
    // Failed: the big file changes while it is burned.
    bool partSeen = false, targetSeen = true;
    const datadisc::BurnResult failed = BurnNow("stdio:" + link, {big}, false, [&] {
        partSeen = QFileInfo::exists(m_dir.filePath(".dest.iso.burning"));
        targetSeen = QFileInfo::exists(dest);
        QFile b(big);
        b.open(QIODevice::ReadWrite);
        b.resize(4096);
    });
    EXPECT_EQ(failed.code, datadisc::ErrRead) << failed.text.toStdString();
    EXPECT_TRUE(failed.text.contains(big)) << failed.text.toStdString();
    EXPECT_TRUE(partSeen) << "the image is written under a temporary name";
    EXPECT_FALSE(targetSeen);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dest));
    EXPECT_EQ(FilesIn(m_dir.path()), QStringList({"a.mp3", "big.wav", "link.iso"}));

    const datadisc::BurnResult good = BurnNow("stdio:" + link, {small});
    ASSERT_EQ(good.code, datadisc::Ok) << good.text.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    const IsoContents iso = ReadIsoImage(dest);
    ASSERT_TRUE(iso.ok);
    EXPECT_EQ(iso.rootFiles.value("a.mp3"), Pattern(3000, 6));
}

// Files removed, cut short or rewritten in place at their size while the
// burn runs, with either kind of image.
TEST_F(DataBurnerTest, AFileRemovedTruncatedOrRewrittenDuringTheBurnFailsItNamingTheFile)
{
    const QString big = m_dir.filePath("a_big.wav");
    enum Change { Removed, Truncated, Rewritten };
    struct Case {
        bool udf;
        Change change;
    } cases[] = {{false, Removed}, {false, Truncated}, {false, Rewritten},
                 {true, Removed},  {true, Truncated},  {true, Rewritten}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.udf ? "udf " : "iso ") + std::to_string(int(c.change)));
        QFile::remove(m_target);
        {
            QFile b(big);
            ASSERT_TRUE(b.open(QIODevice::WriteOnly));
            ASSERT_TRUE(b.resize(qint64(100) * 1024 * 1024));
        }
        const QString victim = MakeFile("z_victim.mp3", Pattern(200000, 7));
        const datadisc::BurnResult r = BurnNow("stdio:" + m_target, {big, victim}, c.udf, [&] {
            QFile v(victim);
            const QDateTime written = QFileInfo(victim).lastModified();
            ASSERT_TRUE(c.change == Removed ? v.remove() : v.open(QIODevice::ReadWrite));
            if (c.change == Truncated)
                v.resize(1000);
            if (c.change == Rewritten) {
                // Other bytes at the same size, written later than the first ones.
                v.write(Pattern(200000, 8));
                v.setFileTime(written.addSecs(2), QFileDevice::FileModificationTime);
            }
        });
        EXPECT_EQ(r.code, datadisc::ErrRead);
        EXPECT_EQ(r.text, QStringLiteral("The file %1 %2 while it was burned.")
                              .arg(victim, c.change == Removed ? "was removed" : "changed"));
        EXPECT_FALSE(QFileInfo::exists(m_target));
        EXPECT_FALSE(QFileInfo::exists(datadisc::StdioPartPath("stdio:" + m_target)));
    }
}

// libburn writes the whole image well, yet the image library reported a
// problem making it: through its message queue, a file it read short, or a
// return code.
TEST_F(DataBurnerTest, AProblemTheImageLibraryAloneReportsFailsTheBurn)
{
    const QString big = m_dir.filePath("a_big.wav");
    {
        QFile b(big);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        ASSERT_TRUE(b.resize(qint64(100) * 1024 * 1024));
    }
    const QString small = MakeFile("b_small.mp3", Pattern(5000, 9));
    // Another user of the library in this process starts it again, which
    // sets its message queue back to keeping nothing.
    ASSERT_GE(iso_init(), 0);
    // A kernel attribute file: its size says 4096 bytes, a read gives a few.
    const QString shortRead = "/sys/devices/system/cpu/online";
    char queued[] = "Queued by the test";
    struct Case {
        const char* what;
        QStringList files;
        QStringList names;
        std::function<void()> whileWriting;
        int code;
        QString text;
    } cases[] = {
        {"a message in its queue", {big, small}, {}, [&] {
             char sorry[] = "SORRY";
             iso_msgs_submit(int(ISO_FILE_CANT_WRITE), queued, 0, sorry, 0);
         },
         datadisc::ErrRead, queued},
        {"a file it reads short", {shortRead}, {}, {}, datadisc::ErrRead, shortRead},
        {"a name it refuses", {big, small}, {"same.mp3", "same.mp3"}, {}, datadisc::ErrImage,
         "Couldn't add the file " + small},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(m_target);
        if (!QFileInfo(c.files.first()).isFile()) {
            std::printf("[   NOTE   ] %s: %s is missing here\n", c.what, qPrintable(c.files.first()));
            continue;
        }
        datadisc::ImageLayout layout;
        layout.files = c.files;
        layout.names = c.names;
        std::atomic<bool> cancel{false};
        datadisc::BurnEvents ev;
        bool called = false;
        ev.progress = [&](int percent) {
            if (percent > 0 && percent < 100 && !called && c.whileWriting) {
                called = true;
                c.whileWriting();
            }
        };
        const datadisc::BurnResult r = datadisc::BurnImage("stdio:" + m_target, layout, 0, cancel, ev);
        EXPECT_EQ(called, bool(c.whileWriting)) << "the burn ended before it was seen writing";
        EXPECT_EQ(r.code, c.code) << r.text.toStdString();
        EXPECT_TRUE(r.text.contains(c.text)) << r.text.toStdString();
        EXPECT_FALSE(QFileInfo::exists(m_target));
        EXPECT_FALSE(QFileInfo::exists(datadisc::StdioPartPath("stdio:" + m_target)));
    }
}

TEST_F(DataBurnerTest, AnImageLargerThanTheDiscIsRefusedBeforeWriting)
{
    QStringList files;
    for (const char* name : {"one.wav", "two.wav"}) {
        QFile f(m_dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(423) * 1000 * 1000));
        files << f.fileName();
    }
    EXPECT_GT(datadisc::LayoutBytes(files), datadisc::kCdCapacityBytes);
    EXPECT_EQ(datadisc::ProbeDrive("stdio:" + m_target).capacityBytes, datadisc::kCdCapacityBytes);
    bool started = false;
    const datadisc::BurnResult r = BurnNow("stdio:" + m_target, files, false, [&] { started = true; });
    EXPECT_EQ(r.code, datadisc::ErrTooBig);
    // The image itself: the files' 807 MB and its file system.
    const QRegularExpression refusal("^The files need 80[78] MB, more than the 703 MB the disc holds\\.$");
    EXPECT_TRUE(refusal.match(r.text).hasMatch())
        << r.text.toStdString();
    EXPECT_FALSE(started);
    EXPECT_FALSE(QFileInfo::exists(m_target));
    EXPECT_FALSE(QFileInfo::exists(datadisc::StdioPartPath("stdio:" + m_target)));
}

TEST_F(DataBurnerTest, WithoutGenisoimageAUdfBurnSaysSoAndWritesNothing)
{
    const QString f = MakeFile("a.mp3", Pattern(1000, 8));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", m_dir.path().toLocal8Bit());
    const datadisc::BurnResult r = BurnNow("stdio:" + m_target, {f}, true);
    qputenv("PATH", path);
    EXPECT_EQ(r.code, datadisc::ErrNoTool);
    EXPECT_EQ(r.text, "UDF discs are made by genisoimage, which is not installed.");
    EXPECT_FALSE(QFileInfo::exists(m_target));
}

TEST_F(DataBurnerTest, AStaleTemporaryDiscIsClearedAndNothingElse)
{
    const QString part = datadisc::StdioPartPath("stdio:" + m_target);
    EXPECT_EQ(part, m_dir.filePath(".disc.iso.burning"));
    WriteFile(part, "half");
    WriteFile(m_second, "kept");
    // UDF images of a process that cannot be running (above any pid_max), and of this one.
    const QString goneDir = QDir::tempPath() + QStringLiteral("/kelvane-udf-999999999-test");
    const QString ownDir =
        QDir::tempPath() + QStringLiteral("/kelvane-udf-%1-test").arg(QCoreApplication::applicationPid());
    for (const QString& d : {goneDir, ownDir}) {
        QDir().mkpath(d);
        WriteFile(d + "/disc.iso", "half");
    }
    cAudioDataBurner burner;
    burner.ClearStaleImages();
    EXPECT_FALSE(QFileInfo::exists(part));
    EXPECT_TRUE(QFileInfo::exists(m_second));
    EXPECT_FALSE(QFileInfo::exists(goneDir));
    EXPECT_TRUE(QFileInfo::exists(ownDir + "/disc.iso"));
    QDir(ownDir).removeRecursively();
    datadisc::ClearStaleImage("stdio:"); // names no file: nothing to do
}

TEST_F(DataBurnerTest, AWriterEntryMayNameItsDiscsCapacity)
{
    const QString small = m_dir.filePath("small.iso");
    qputenv("KELVANE_DATA_WRITERS", (m_target + ":" + small + "=1m").toLocal8Bit());
    cBurner burner;
    const int n = burner.DriveCount();
    ASSERT_GE(n, 2);
    EXPECT_EQ(burner.DriveName(n - 1), "stdio:" + small);
    EXPECT_EQ(burner.DiscCapacity(n - 1), 1024 * 1024);
    EXPECT_EQ(burner.DiscCapacity(n - 2), datadisc::kCdCapacityBytes);

    burner.NewDiscImage();
    burner.AddDiscFile(MakeFile("two.mp3", Pattern(2 * 1024 * 1024, 9)));
    V2Events ev;
    ev.attach(burner);
    burner.BurnToDrive(n - 1);
    ASSERT_TRUE(ev.wait());
    EXPECT_EQ(ev.log.last(), QStringLiteral("message %1").arg(datadisc::ErrTooBig));
    EXPECT_FALSE(ev.log.contains("start"));
    EXPECT_FALSE(QFileInfo::exists(small));
}
