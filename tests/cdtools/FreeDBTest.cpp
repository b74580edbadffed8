// The CD database lookup against a CDDB server on the loop-back address: the
// client component's outcomes, and the "FreeDB" command naming a drive's
// rows and node, which a following rip takes for its files.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cdtools/frmCDRipper.h"
#include "cdtools/frmFreeDB.h"
#include "components/disc/cFreeDB.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cTreeView.h"
#include "lists/CdDrives.h"
#include "lists/ItemRow.h"
#include "lists/ListTree.h"
#include "settings/FormatSettings.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/cdtools/CddbTestServer.h"
#include "tests/components/disc/CdImageFixture.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace cdimage;

// The events of one lookup, as text.
struct Recorder {
    QStringList events, states;
    void attach(cFreeDB& db)
    {
        QObject::connect(&db, &cFreeDB::LookupState, [this](const QString& s) { states << s; });
        QObject::connect(&db, &cFreeDB::ArtistFound, [this](const QString& s) { events << "artist " + s; });
        QObject::connect(&db, &cFreeDB::AlbumFound, [this](const QString& s) { events << "album " + s; });
        QObject::connect(&db, &cFreeDB::GenreFound, [this](const QString& s) { events << "genre " + s; });
        QObject::connect(&db, &cFreeDB::TrackFound, [this](const QString& a, int n, const QString& t) {
            events << QStringLiteral("track %1|%2|%3").arg(a).arg(n).arg(t);
        });
        QObject::connect(&db, &cFreeDB::LookupEnded, [this] { events << "ended"; });
        QObject::connect(&db, &cFreeDB::LookupError,
                         [this](int code, const QString& t) { events << QStringLiteral("error %1 %2").arg(code).arg(t); });
    }
    bool ended() const
    {
        return !events.isEmpty() && (events.last() == "ended" || events.last().startsWith("error"));
    }
};

// The resident memory of this process, in KB.
qint64 residentKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// A port nothing listens on.
quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return port;
}

// A compilation's entry as some servers send it: no comments, a Latin-1 title
// with control characters and its own artist, a title of invalid UTF-8, and a
// 1,000-character title over several lines cut inside its characters.
const QString kLatin1Title = QStringLiteral("Caf\u00e9 Noir Live");
const QString kInvalidUtf8Title = QStringLiteral("Bad \u00c3( Bytes");
QString longTitle()
{
    return QString(1000, QChar(0x00e9));
}
QByteArray compilationEntry()
{
    QByteArray e = "DISCID=0d000903\r\nDTITLE=Various / Mixed Bag\r\n";
    e += "TTITLE0=Singer A / Caf\xe9\x1b\x07 Noir\tLive\x7f\r\n";
    e += "TTITLE1=Bad \xc3\x28 Bytes\r\n";
    const QByteArray title = longTitle().toUtf8();
    for (qsizetype at = 0; at < title.size(); at += 255)
        e += "TTITLE2=" + title.mid(at, 255) + "\r\n";
    return e;
}

class FreeDBTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        discs = testenv::tempRoot() + "/discs/";
        QDir(discs).removeRecursively();
        QDir().mkpath(discs);
        img = writeImage(discs, "disc", {{2 * kSecond}, {3 * kSecond}, {4 * kSecond}}, 21);
        writeImage(discs, "data", {{2 * kSecond, false}}, 22);
        qputenv("KELVANE_CD_IMAGES", (discs + "disc.cue:" + discs + "data.cue").toLocal8Bit());
    }
    void TearDown() override
    {
        qunsetenv("KELVANE_CD_IMAGES");
        qunsetenv("KELVANE_CDDB_SERVER");
    }
    // Looks the drive's disc up at the server and waits for the end.
    Recorder lookup(CddbTestServer& server, const QString& drive = "Z:", int timeout = 5)
    {
        cFreeDB db;
        Recorder r;
        r.attach(db);
        db.setServerName("127.0.0.1");
        db.setServerPort(server.port());
        db.setTimeout(timeout);
        db.setHelloUser("kelvane");
        db.setHelloHost("localhost");
        db.setHelloClient("Kelvane");
        db.setHelloVersion("1.2");
        EXPECT_TRUE(db.IsConnected());
        db.SelectDrive(drive);
        db.Query();
        EXPECT_TRUE(QTest::qWaitFor([&] { return r.ended(); }, 20000));
        QTest::qWait(100); // nothing may follow the end
        return r;
    }

    QString discs;
    Image img;
};

TEST_F(FreeDBTest, EachServerAnswerGivesItsEvents)
{
    const QStringList found = {"artist Ann Artist", "album Night Album", "genre Test", "track Ann Artist|1|First Song",
                               "track Ann Artist|2|Either/Or", "track Ann Artist|3|Last One", "ended"};
    struct Case {
        const char* name;
        CddbTestServer::Mode mode;
        QStringList events; // a single "error 2 " entry compares by its start
        int timeout;
    } cases[] = {
        {"one match", CddbTestServer::OneMatch, found, 5},
        {"three matches, the first read", CddbTestServer::ThreeMatches, found, 5},
        {"no match", CddbTestServer::NoMatch, {"error 2 The CD database has no entry for this disc."}, 5},
        {"connection closed", CddbTestServer::CloseAtQuery, {"error 2 The CD database server 127.0.0.1:"}, 5},
        {"never answers", CddbTestServer::Silent, {"error 2 The CD database server 127.0.0.1:"}, 1},
        {"reply of no sense", CddbTestServer::Garbage, {"error 2 The CD database server 127.0.0.1:"}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CddbTestServer server(c.mode);
        const Recorder r = lookup(server, "Z:", c.timeout);
        if (c.events.size() == 1 && c.events[0].startsWith("error")) {
            ASSERT_EQ(r.events.size(), 1) << r.events.join('\n').toStdString();
            EXPECT_TRUE(r.events[0].startsWith(c.events[0])) << r.events[0].toStdString();
        } else {
            EXPECT_EQ(r.events, c.events);
        }
        if (c.mode == CddbTestServer::Silent)
            continue;
        // The greeting is ours, and the disc is told by its table of contents:
        // offsets from 150 frames, then the length in seconds.
        EXPECT_TRUE(server.commands.value(0).startsWith("cddb hello kelvane localhost Kelvane 1.2"))
            << server.commands.join('\n').toStdString();
        const QStringList queries = server.commands.filter(QRegularExpression("^cddb query "));
        ASSERT_EQ(queries.size(), 1);
        EXPECT_EQ(queries[0].simplified(), "cddb query 0d000903 3 150 300 525 11");
        if (c.mode == CddbTestServer::ThreeMatches) {
            EXPECT_TRUE(r.states.join('\n').contains("3 matches found")) << r.states.join('\n').toStdString();
            EXPECT_EQ(server.commands.filter(QRegularExpression("^cddb read ")).value(0).section(' ', 2, 2), "rock");
        }
    }
}

// A cue sheet the program refuses is named with its reason, never taken
// for an empty drive, and the server is not asked.
TEST_F(FreeDBTest, ARefusedImageSaysWhyAndAsksNoServer)
{
    const QString big = discs + "big.cue", pipe = discs + "pipe.cue";
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.write(QByteArray(1024 * 1024 + 1, 'R')) > 0);
    f.close();
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    qputenv("KELVANE_CD_IMAGES", (big + ":" + pipe).toLocal8Bit());
    const struct {
        const char* drive;
        QString reason;
    } cases[] = {
        {"Z:", "The cue sheet " + big + " is too large (over 1 MB)."},
        {"Y:", "The cue sheet " + pipe + " is not a regular file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drive);
        CddbTestServer server(CddbTestServer::OneMatch);
        const Recorder r = lookup(server, c.drive);
        EXPECT_EQ(r.events, QStringList({"error 2 " + c.reason}));
        EXPECT_TRUE(server.commands.isEmpty());
    }
}

TEST_F(FreeDBTest, NoServerADataDiscAndACancelledQuery)
{
    cFreeDB db;
    Recorder r;
    r.attach(db);
    db.setServerName("127.0.0.1");
    const quint16 closed = closedPort();
    db.setServerPort(closed);
    db.setTimeout(2);
    db.SelectDrive("Z:");
    // The network is there; the server is not, and the message says which and why.
    EXPECT_TRUE(db.IsConnected());
    db.Query();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.ended(); }, 10000));
    EXPECT_EQ(r.events, QStringList({QStringLiteral("error 2 The CD database server 127.0.0.1:%1 cannot be reached: "
                                                    "Connection refused.").arg(closed)}));

    CddbTestServer server(CddbTestServer::OneMatch);
    r.events.clear();
    db.setServerPort(server.port());
    db.SelectDrive("Y:");
    db.Query();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.ended(); }, 10000));
    EXPECT_EQ(r.events, QStringList({"error 2 The disc in the drive Y: is not an Audio CD."}));
    EXPECT_TRUE(server.commands.isEmpty());

    // Cancelled while the server keeps silent: nothing more is heard, neither
    // from the worker nor once the lookup's deadline (2 s, and the component's
    // own check half a second on) has passed. A timer started after those
    // fires after them, however slow the machine.
    CddbTestServer silent(CddbTestServer::Silent);
    r.events.clear();
    db.setServerPort(silent.port());
    db.setTimeout(2);
    db.SelectDrive("Z:");
    db.Query();
    bool pastDeadline = false;
    QTimer::singleShot(3000, Qt::PreciseTimer, &db, [&] { pastDeadline = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.connections > 0; }, 10000));
    ASSERT_TRUE(r.events.isEmpty()) << r.events.join('\n').toStdString();
    db.CancelQuery();
    // The worker has let go of its connection: it has stopped.
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.closedConnections > 0; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pastDeadline; }, 30000));
    EXPECT_TRUE(r.events.isEmpty()) << r.events.join('\n').toStdString();
}

// A server that keeps sending is cut off: by the deadline when it trickles,
// by the caps when it floods; either way one error naming the server, the
// connection closed and little memory taken.
TEST_F(FreeDBTest, AServerThatNeverStopsSendingIsCutOffInTimeWithAMessage)
{
    struct Case {
        const char* name;
        CddbTestServer::Mode mode;
        int timeout;
        QString reason;
    } cases[] = {
        {"entry flood", CddbTestServer::FloodEntry, 10, "sent more than 4096 KB."},
        {"never-ending entry", CddbTestServer::TrickleEntry, 2, "did not answer in time."},
        {"a million matches", CddbTestServer::MillionMatches, 10, "listed more than 1000 matches."},
        {"endless line", CddbTestServer::EndlessLine, 10, "sent a line longer than 64 KB."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CddbTestServer server(c.mode);
        const qint64 before = residentKb();
        qint64 peak = before;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] { peak = qMax(peak, residentKb()); });
        sampler.start(20);
        QElapsedTimer clock;
        clock.start();
        const Recorder r = lookup(server, "Z:", c.timeout);
        const qint64 took = clock.elapsed();
        sampler.stop();
        // The caps cut in long before the deadline; the deadline is kept
        // within what a slow, loaded machine adds to it, where a lookup
        // without one would never end.
        EXPECT_LT(took, c.timeout * 1000 + 5000);
        ASSERT_EQ(r.events.size(), 1) << r.events.join('\n').toStdString();
        EXPECT_EQ(r.events[0].toStdString(), ("error 2 The CD database server " + server.address() + " " + c.reason).toStdString());
        EXPECT_LT(peak - before, 100 * 1024) << "KB grown";
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.closedConnections == 1; }, 10000));
    }
}

// A thousand matches are still a list to read the first of; one more ends
// the lookup with its message before any entry is asked for.
TEST_F(FreeDBTest, MoreThanAThousandMatchesEndTheLookupWithItsMessage)
{
    struct Case {
        int matches;
        bool read; // the first match's entry is read
    } cases[] = {{1000, true}, {1001, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.matches);
        CddbTestServer server(CddbTestServer::ManyMatches);
        server.matchCount = c.matches;
        const Recorder r = lookup(server);
        const QStringList reads = server.commands.filter(QRegularExpression("^cddb read "));
        if (c.read) {
            EXPECT_EQ(r.events.value(0), "artist Ann Artist") << r.events.join('\n').toStdString();
            EXPECT_EQ(r.events.value(r.events.size() - 1), "ended");
            EXPECT_TRUE(r.states.join('\n').contains("1000 matches found")) << r.states.join('\n').toStdString();
            EXPECT_EQ(reads.size(), 1);
        } else {
            EXPECT_EQ(r.events.join('\n').toStdString(),
                      ("error 2 The CD database server " + server.address() + " listed more than 1000 matches.")
                          .toStdString());
            EXPECT_TRUE(reads.isEmpty()) << reads.join('\n').toStdString();
        }
    }
}

// Cancelled, the lookup closes its connection at once: long before its
// deadline (30 s), with the server still silent or still sending.
TEST_F(FreeDBTest, CancelClosesTheConnectionAtOnceWhateverTheServerDoes)
{
    // A flood is cut off by the caps at once; these two would go on.
    for (CddbTestServer::Mode mode : {CddbTestServer::Silent, CddbTestServer::TrickleEntry}) {
        SCOPED_TRACE(int(mode));
        CddbTestServer server(mode);
        cFreeDB db;
        Recorder r;
        r.attach(db);
        db.setServerName("127.0.0.1");
        db.setServerPort(server.port());
        db.setTimeout(30);
        db.SelectDrive("Z:");
        db.Query();
        // Cancelled once the server is busy sending the entry (or, silent,
        // has taken the connection).
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.connections > 0; }, 10000));
        if (mode != CddbTestServer::Silent) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return server.bytesSent > 0; }, 10000));
        }
        QElapsedTimer clock;
        clock.start();
        db.CancelQuery();
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.closedConnections == 1; }, 10000));
        EXPECT_LT(clock.elapsed(), 10000) << "the cancel waited for the deadline";
        QTest::qWait(100);
        EXPECT_TRUE(r.events.isEmpty()) << r.events.join('\n').toStdString();
    }
}

// Titles come whole whatever their bytes: Latin-1 where a line is no UTF-8,
// a long title joined from its lines even where a character is cut between
// them, a track's own artist split off, control characters gone. An entry
// without the usual comments is read at once.
TEST_F(FreeDBTest, EveryTitleComesWholeWhateverItsBytes)
{
    CddbTestServer server(CddbTestServer::OneMatch);
    server.entryBody = compilationEntry();
    QElapsedTimer clock;
    clock.start();
    const Recorder r = lookup(server, "Z:", 20);
    EXPECT_LT(clock.elapsed(), 10000) << "the entry's end was not seen before the deadline";
    EXPECT_EQ(r.events, QStringList({"artist Various", "album Mixed Bag", "genre rock",
                                     "track Singer A|1|" + kLatin1Title, "track Various|2|" + kInvalidUtf8Title,
                                     "track Various|3|" + longTitle(), "ended"}));
}

// " / " in a track title parts artist and title only on a compilation: a
// disc of various artists, or one whose every titled track is so written.
TEST_F(FreeDBTest, OnlyACompilationsTitlesNameTheirOwnArtists)
{
    struct Case {
        const char* what;
        QString discArtist;
        QStringList titles;
        QStringList tracks; // artist|number|title
    } cases[] = {
        {"one artist, a title with the separator", "Ann Artist", {"Intro / Overture", "Second", "Third"},
         {"Ann Artist|1|Intro / Overture", "Ann Artist|2|Second", "Ann Artist|3|Third"}},
        {"one artist, some titles with the separator", "Ann Artist", {"Singer A / One", "Two", "Singer C / Three"},
         {"Ann Artist|1|Singer A / One", "Ann Artist|2|Two", "Ann Artist|3|Singer C / Three"}},
        {"various", "Various", {"Singer A / One", "Two", "Singer C / Three"},
         {"Singer A|1|One", "Various|2|Two", "Singer C|3|Three"}},
        {"various artists, any letter case", "various artists", {"Singer A / One", "Two", "Singer C / Three"},
         {"Singer A|1|One", "various artists|2|Two", "Singer C|3|Three"}},
        {"a band named for more than various", "Various Moods", {"Singer A / One", "Two", "Singer C / Three"},
         {"Various Moods|1|Singer A / One", "Various Moods|2|Two", "Various Moods|3|Singer C / Three"}},
        {"every titled track names its artist", "Ann Artist", {"Singer A / One", "", "Singer C / Three"},
         {"Singer A|1|One", "Singer C|3|Three"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CddbTestServer server(CddbTestServer::OneMatch);
        server.artist = c.discArtist;
        server.titles = c.titles;
        const Recorder r = lookup(server);
        QStringList tracks = r.events.filter(QRegularExpression("^track "));
        tracks.replaceInStrings(QRegularExpression("^track "), QString());
        EXPECT_EQ(tracks.join('\n').toStdString(), c.tracks.join('\n').toStdString());
        EXPECT_EQ(r.events.value(0), "artist " + c.discArtist);
        EXPECT_EQ(r.events.value(r.events.size() - 1), "ended");
    }
}

TEST_F(FreeDBTest, TheServerComesFromTheEnvironmentOverTheStoredValue)
{
    struct Case {
        QString stored, env, host;
        int port;
    } cases[] = {
        {"", "", cFreeDB::DefaultServerHost(), 8880},
        {"cddb.example.org:8000", "", "cddb.example.org", 8000},
        {"cddb.example.org", "", "cddb.example.org", 8880},
        {"cddb.example.org:8000", "127.0.0.1:4555", "127.0.0.1", 4555},
        {"cddb.example.org:port", "", cFreeDB::DefaultServerHost(), 8880},
    };
    for (const Case& c : cases) {
        if (c.env.isEmpty())
            qunsetenv("KELVANE_CDDB_SERVER");
        else
            qputenv("KELVANE_CDDB_SERVER", c.env.toLocal8Bit());
        const cFreeDB::Server s = cFreeDB::ConfiguredServer(c.stored);
        EXPECT_EQ(s.host, c.host) << c.stored.toStdString();
        EXPECT_EQ(s.port, c.port) << c.stored.toStdString();
    }
}

// ---- The lookup and the ripper in the main window

class FreeDBWindowTest : public FreeDBTest {
protected:
    void SetUp() override
    {
        FreeDBTest::SetUp();
        testenv::installMachineKeys();
        out = testenv::tempRoot() + "/out/";
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        g_sItemsListDir = testenv::tempRoot() + "/Lists/";
        QDir(g_sItemsListDir).removeRecursively();
        mwtest::setEdition([] { g_lAppIncCDRipper = 1; });
        frmOptions();
        g_frmAudioProp();
        g_bDisplayMSGWhenExit = false;
        g_bAutoFreeDB = false;
        g_lMP3Bitrate = 128;
        g_lMP3Samplerate = 44100;
        w = frmMain();
        drive = g_nodAudioCDs.ChildNodes().NodeItem(1);
        w->cTreeView1_NodeClick(drive);
    }
    void TearDown() override
    {
        if (g_frmFreeDBLoaded())
            g_frmFreeDB()->Unload();
        UnloadMain();
        g_bAutoFreeDB = false;
        FreeDBTest::TearDown();
    }
    QString cellText(int row, const QString& key) const { return w->cGrid1->CellText(row, w->cGrid1->ColumnIndex(key)); }
    QStringList names() const
    {
        QStringList n;
        for (int r = 1; r <= w->cGrid1->RowCount(); ++r)
            n << cellText(r, COL_ITEM_NAME) + "|" + cellText(r, COL_TAG_ARTIST) + "|" + cellText(r, COL_TAG_ALBUM);
        return n;
    }
    // Sends "FreeDB"; a window still open after 20 s is closed so the test ends.
    void sendFreeDB()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (g_frmFreeDBLoaded())
                g_frmFreeDB()->Unload();
        });
        guard.start(20000);
        w->SendCommand("FreeDB");
        EXPECT_TRUE(guard.isActive()) << "the lookup window had to be closed";
    }

    // Rips the marked rows to MP3 in out, named by the item names, with no
    // end actions; the job must end "Done.". The window closes afterwards.
    void ripToMp3(FrmCDRipper* tool)
    {
        tool->txtToPath->setEditText(out);
        for (int i = 0; i < tool->cboTargetFormat->count(); ++i)
            if (tool->cboTargetFormat->itemText(i).startsWith("MP3"))
                tool->cboTargetFormat->setCurrentIndex(i);
        tool->cboFileName->addItem("[item_name].[dest_extension]");
        tool->cboFileName->setCurrentIndex(tool->cboFileName->count() - 1);
        tool->chkCreateSubFolder->setChecked(false);
        for (QCheckBox* box : {tool->chkPlaySound, tool->chkOpenDestFolder, tool->chkTurnOffComputer,
                               tool->chkNoticeApp, tool->chkOpenCDdrive})
            box->setChecked(false);
        tool->cmdConvert->click();
        EXPECT_TRUE(QTest::qWaitFor([tool] { return tool->cmdConvert->isEnabled(); }, 120000));
        EXPECT_EQ(tool->lblCurrentTrack->text(), "Done.");
        tool->close();
    }

    FrmMain* w = nullptr;
    cTreeNode drive;
    QString out;
};

TEST_F(FreeDBWindowTest, TheLookupNamesTheRowsAndTheDriveAndTheRipTakesTheNames)
{
    ASSERT_EQ(w->cGrid1->RowCount(), 3);
    CddbTestServer server(CddbTestServer::OneMatch);
    qputenv("KELVANE_CDDB_SERVER", server.address().toLocal8Bit());
    testenv::ScriptedMessageBoxes boxes;

    sendFreeDB();

    EXPECT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join('\n').toStdString();
    EXPECT_FALSE(g_frmFreeDBLoaded());
    EXPECT_EQ(names(), QStringList({"First Song.cda|Ann Artist|Night Album", "Either/Or.cda|Ann Artist|Night Album",
                                    "Last One.cda|Ann Artist|Night Album"}));
    EXPECT_EQ(drive.NodeText(), "Ann Artist - Night Album");
    EXPECT_EQ(w->lblListName->text(), "Ann Artist - Night Album");

    // The ripper over the named rows: all rows come, each with its mark.
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return g_frmCDRipperLoaded() && g_frmCDRipper()->isVisible(); }));
        ran = true;
        FrmCDRipper* tool = g_frmCDRipper();
        EXPECT_EQ(tool->cGrid1->RowCount(), 3);
        EXPECT_EQ(tool->lblFilesToConvert->text(), "3 items to convert.");
        EXPECT_EQ(tool->g_ltmrItemSecsTotal, 9);
        EXPECT_TRUE(tool->cboDevices->currentText().startsWith("Z:"));
        EXPECT_FALSE(tool->cboDevices->isEnabled());
        EXPECT_FALSE(tool->cmdOpenCD->isEnabled());
        EXPECT_EQ(tool->lblCDStatus->text(), "OK: 3 CDA tracks");
        tool->cGrid1->setCellIcon(3, tool->cGrid1->ColumnIndex(COL_INC), kIconUnmarked);
        ripToMp3(tool);
    });
    w->SendCommand("Audio CD Ripper");
    ASSERT_TRUE(ran);

    const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, QStringList({"Either-Or.mp3", "First Song.mp3"}));
    struct Expect {
        QString file;
        double seconds;
    } expect[] = {{"First Song.mp3", 2.0}, {"Either-Or.mp3", 3.0}};
    for (const Expect& e : expect) {
        const fixtures::Probe p = fixtures::probe(out + e.file);
        ASSERT_TRUE(p.ok) << e.file.toStdString();
        EXPECT_NEAR(p.seconds, e.seconds, 0.1);
        EXPECT_EQ(p.tags.value("artist"), "Ann Artist");
        EXPECT_EQ(p.tags.value("album"), "Night Album");
    }
}

// The option runs the lookup right after a drive is listed. An entry short
// of the last title names the rows it has; the window then hides, the node
// keeps its name, and the next lookup starts from empty artist and album.
TEST_F(FreeDBWindowTest, TheOptionLooksUpAfterListingAndAShortEntryLeavesTheNodeName)
{
    CddbTestServer server(CddbTestServer::OneMatch);
    server.titles = QStringList({"Only One", "Two"});
    qputenv("KELVANE_CDDB_SERVER", server.address().toLocal8Bit());
    testenv::ScriptedMessageBoxes boxes;
    g_bAutoFreeDB = true;
    // A guard of this test only: a stray one-shot would close a later test's window.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (g_frmFreeDBLoaded())
            g_frmFreeDB()->Unload();
    });
    guard.start(20000);

    ShowCDTracks("Z:");

    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_EQ(names(), QStringList({"Only One.cda|Ann Artist|Night Album", "Two.cda|Ann Artist|Night Album",
                                    "Track03.cda||"}));
    EXPECT_EQ(drive.NodeText(), "Z:");
    ASSERT_TRUE(g_frmFreeDBLoaded());
    EXPECT_FALSE(g_frmFreeDB()->isVisible());

    // The hidden window is used again: the next disc's entry has no artist
    // and no album, and none of the last ones reach its rows.
    g_bAutoFreeDB = false;
    server.artist.clear();
    server.album.clear();
    server.titles = QStringList({"A", "B", "C"});
    w->SendCommand("FreeDB");
    EXPECT_EQ(names(), QStringList({"A.cda||", "B.cda||", "C.cda||"}));
}

TEST_F(FreeDBWindowTest, AFailedLookupSaysSoOnceAndChangesNothing)
{
    const QStringList before = names();
    const quint16 closed = closedPort();
    struct Case {
        const char* name;
        CddbTestServer::Mode mode;
        bool serverUp;
        QString message;
    } cases[] = {
        {"server down", CddbTestServer::OneMatch, false,
         QStringLiteral("The CD database server 127.0.0.1:%1 cannot be reached: Connection refused.(2)").arg(closed)},
        {"no match", CddbTestServer::NoMatch, true, "The CD database has no entry for this disc.(2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CddbTestServer server(c.mode);
        qputenv("KELVANE_CDDB_SERVER", (c.serverUp ? server.address()
                                                   : QStringLiteral("127.0.0.1:%1").arg(closed)).toLocal8Bit());
        testenv::ScriptedMessageBoxes boxes;
        sendFreeDB();
        EXPECT_EQ(boxes.prompts(), QStringList({c.message}));
        EXPECT_FALSE(g_frmFreeDBLoaded());
        EXPECT_EQ(names(), before);
        EXPECT_EQ(drive.NodeText(), "Z:");
    }
}

TEST_F(FreeDBWindowTest, AbortOrClosingEndsTheWindowAndTheConnectionAtOnce)
{
    const QStringList before = names();
    struct Case {
        CddbTestServer::Mode mode;
        bool closeWindow; // the window's close button rather than Abort
    } cases[] = {{CddbTestServer::Silent, false}, {CddbTestServer::TrickleEntry, false}, {CddbTestServer::TrickleEntry, true}};
    for (const Case& c : cases) {
        const CddbTestServer::Mode mode = c.mode;
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(int(mode)).arg(c.closeWindow).toStdString());
        CddbTestServer server(mode);
        qputenv("KELVANE_CDDB_SERVER", server.address().toLocal8Bit());
        testenv::ScriptedMessageBoxes boxes;
        // Abort once the server is busy sending (or, silent, has been for a while).
        QElapsedTimer busy, clicked;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (clicked.isValid() || !g_frmFreeDBLoaded() || !g_frmFreeDB()->isVisible() || server.connections < 1 ||
                (mode != CddbTestServer::Silent && server.bytesSent == 0))
                return;
            if (!busy.isValid())
                busy.start();
            if (busy.elapsed() < 200)
                return;
            clicked.start();
            if (c.closeWindow)
                g_frmFreeDB()->close();
            else
                g_frmFreeDB()->cmdAbort->click();
        });
        poll.start(20);
        QElapsedTimer clock;
        clock.start();

        sendFreeDB();

        EXPECT_LT(clock.elapsed(), 5000); // not the 20 s the lookup may take
        EXPECT_FALSE(g_frmFreeDBLoaded());
        ASSERT_TRUE(clicked.isValid());
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.closedConnections == 1; }, 1000));
        EXPECT_LT(clicked.elapsed(), 1000);
        EXPECT_TRUE(boxes.prompts().isEmpty());
        EXPECT_EQ(names(), before);
        QTest::qWait(100);
        EXPECT_TRUE(boxes.prompts().isEmpty());
    }
}

// While the entry is still coming in, the bar is not full.
TEST_F(FreeDBWindowTest, TheProgressBarFillsOnlyWhenTheEntryIsIn)
{
    CddbTestServer server(CddbTestServer::SlowEntry);
    qputenv("KELVANE_CDDB_SERVER", server.address().toLocal8Bit());
    testenv::ScriptedMessageBoxes boxes;
    QStringList whileReading;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!g_frmFreeDBLoaded() || !g_frmFreeDB()->isVisible())
            return;
        FrmFreeDB* f = g_frmFreeDB();
        if (f->lblCurrentTrack->text().contains("reading"))
            whileReading << QStringLiteral("%1/%2").arg(f->prgCurrnet->ProgressValue()).arg(f->prgCurrnet->ProgressMax());
    });
    poll.start(50);

    sendFreeDB();

    ASSERT_FALSE(whileReading.isEmpty());
    for (const QString& v : whileReading)
        EXPECT_NE(v.section('/', 0, 0), v.section('/', 1, 1)) << v.toStdString();
    EXPECT_EQ(names().value(0), "First Song.cda|Ann Artist|Night Album");
}

// A compilation's titles, whatever their bytes, name the rows with each
// track's artist, and the rip makes valid file names of them, tagged with
// that artist.
TEST_F(FreeDBWindowTest, ACompilationsTitlesReachTheRowsAndTheRippedFiles)
{
    CddbTestServer server(CddbTestServer::OneMatch);
    server.entryBody = compilationEntry();
    qputenv("KELVANE_CDDB_SERVER", server.address().toLocal8Bit());
    testenv::ScriptedMessageBoxes boxes;

    sendFreeDB();

    EXPECT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join('\n').toStdString();
    EXPECT_EQ(names(), QStringList({kLatin1Title + ".cda|Singer A|Mixed Bag",
                                    kInvalidUtf8Title + ".cda|Various|Mixed Bag",
                                    longTitle() + ".cda|Various|Mixed Bag"}));
    EXPECT_EQ(drive.NodeText(), "Various - Mixed Bag");

    bool ran = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return g_frmCDRipperLoaded() && g_frmCDRipper()->isVisible(); }));
        ran = true;
        FrmCDRipper* tool = g_frmCDRipper();
        ripToMp3(tool);
    });
    w->SendCommand("Audio CD Ripper");
    ASSERT_TRUE(ran);

    // 125 two-byte characters and ".mp3": 254 bytes.
    const QString longName = QString(125, QChar(0x00e9)) + ".mp3";
    struct Expect {
        QString file, artist;
    } expect[] = {{kLatin1Title + ".mp3", "Singer A"}, {kInvalidUtf8Title + ".mp3", "Various"}, {longName, "Various"}};
    QStringList wanted;
    for (const Expect& e : expect)
        wanted << e.file;
    wanted.sort();
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name), wanted);
    for (const Expect& e : expect) {
        EXPECT_LE(e.file.toUtf8().size(), 255);
        const fixtures::Probe p = fixtures::probe(out + e.file);
        ASSERT_TRUE(p.ok) << e.file.toStdString();
        EXPECT_EQ(p.tags.value("artist"), e.artist) << e.file.toStdString();
        EXPECT_EQ(p.tags.value("album"), "Mixed Bag");
    }
}

TEST_F(FreeDBWindowTest, TrackNumbersOutsideTheRowsNameNothing)
{
    const QStringList before = names();
    FrmFreeDB* lookup = g_frmFreeDB();
    lookup->cFreeDB1_ArtistFound("A");
    lookup->cFreeDB1_AlbumFound("B");
    for (int track : {0, -1, 4, 99})
        lookup->cFreeDB1_TrackFound("A", track, "Title");
    EXPECT_EQ(w->cGrid1->RowCount(), 3);
    EXPECT_EQ(names(), before);
    EXPECT_EQ(drive.NodeText(), "Z:");
    lookup->Unload();
}

} // namespace
