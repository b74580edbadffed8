// The Text To Speech window on the real engine: its controls, the stored
// choices, speaking with the highlight, and Save As through the one-file
// conversion window.
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QToolButton>
#include <gtest/gtest.h>

#include "audiotools/frmAudioEditorProc.h"
#include "audiotools/frmWaveTTS.h"
#include "components/controls/cSlider.h"
#include "components/controls/cTabControl.h"
#include "settings/frmAudioProp.h"
#include <QElapsedTimer>
#include <QTimer>
#include "components/audio/cWaveTTS.h"
#include "core/Edition.h"
#include "platform/ProgramDir.h"
#include "platform/UserSettings.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/components/audio/PrivateSink.h"

namespace {

class SpeechWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        attest::startProgram();
        g_lAppIncTTS = 1;
        // A name of its own: nothing is stored for it yet.
        g_sAppName = QStringLiteral("KelvaneSpeech") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir = testenv::tempRoot() + "/tts/";
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
    }
    void TearDown() override
    {
        if (g_frmWaveTTSLoaded())
            g_frmWaveTTS()->close();
        playerfx::pump(20);
    }
    static void chooseTarget(FrmWaveTTS* w, const QString& key)
    {
        for (int i = 0; i < w->cboTargetFormat->count(); ++i)
            if (w->cboTargetFormat->itemText(i).startsWith(key))
                w->cboTargetFormat->setCurrentIndex(i);
    }
    QString dir;
};

TEST_F(SpeechWindowTest, OpensWithTheVoicesFormatsAndDefaults)
{
    // Nothing stored yet: the defaults apply.
    FrmWaveTTS* w = g_frmWaveTTS();
    EXPECT_EQ(w->windowTitle(), "Text To Speech");
    cWaveTTS probe;
    ASSERT_EQ(w->cboVoices->count(), probe.VoiceCount());
    EXPECT_EQ(w->cboVoices->currentIndex(), 0);
    EXPECT_EQ(w->cboFormats->currentText(), "SAFT22kHz16BitMono");
    EXPECT_EQ(w->cboFormats->currentData().toLongLong(), 8);
    EXPECT_EQ(w->sldRate->SliderValue(), 0);
    EXPECT_EQ(w->sldRate->minimum(), -10);
    EXPECT_EQ(w->sldVolume->SliderValue(), 50);
    EXPECT_EQ(w->sldVolume->maximum(), 100);
    EXPECT_EQ(w->lblRateVal->text(), "0");
    EXPECT_EQ(w->lblValumeVal->text(), "50");
    EXPECT_EQ(w->txtSpeak->toPlainText(), "This sample shows you how to use the 'Text To Speech'.");
    EXPECT_TRUE(w->lblClearText->isEnabled());
    EXPECT_EQ(w->cboTargetFormat->currentIndex(), frmOptions()->cboTargetFormat->currentIndex());
    struct Row {
        QWidget* control;
        const char* text;
        const char* tip;
    } rows[] = {
        {w->cmdSay, "Say It", "Say it"},
        {w->cmdStop, "Stop", "Stop"},
        {w->cmdSaveAs, "Save As...", "Save 'Text To Speech' as..."},
        {w->cmdAdd, "Add to Items List", "Add to items list."},
        {w->cmdEditTargetFormat, "Edit", "Edit Target Audio Formats"},
        {w->lblID3Tags, "ID3Tags", "Set the ID3 tags"},
        {w->lblClearText, "Clear Text", "Clear Text"},
        {w->cmdToolsIcon[2], "", "Save 'Text To Speech' as a wav file."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.tip);
        if (auto* b = qobject_cast<QPushButton*>(r.control))
            EXPECT_EQ(b->text(), r.text);
        if (auto* l = qobject_cast<QLabel*>(r.control))
            EXPECT_EQ(l->text(), r.text);
        EXPECT_EQ(r.control->toolTip(), r.tip);
    }
    // Sliders change only their labels.
    w->sldRate->setSliderValue(-7);
    w->sldVolume->setSliderValue(80);
    EXPECT_EQ(w->lblRateVal->text(), "-7");
    EXPECT_EQ(w->lblValumeVal->text(), "80");
}

// The four pictures beside the buttons have no actions: assistive technology
// must not be offered them as buttons (a "Stop" that does not stop).
TEST_F(SpeechWindowTest, ThePicturesBesideTheButtonsAreNoButtons)
{
    FrmWaveTTS* w = g_frmWaveTTS();
    for (QWidget* picture : w->cmdToolsIcon) {
        SCOPED_TRACE(picture->toolTip().toStdString());
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(picture);
        ASSERT_NE(a, nullptr);
        EXPECT_NE(a->role(), QAccessible::Button);
        EXPECT_TRUE(!a->actionInterface() || a->actionInterface()->actionNames().isEmpty());
        EXPECT_EQ(picture->focusPolicy(), Qt::NoFocus);
        EXPECT_FALSE(picture->toolTip().isEmpty());
    }
}

TEST_F(SpeechWindowTest, FormatAndVoiceComeBackAndUnknownOnesFallBack)
{
    FrmWaveTTS* w = g_frmWaveTTS();
    ASSERT_GT(w->cboVoices->count(), 3);
    w->cboVoices->setCurrentIndex(3);
    w->cboFormats->setCurrentText("SAFT8kHz8BitMono");
    const QString voice = w->cboVoices->currentText();
    w->close();
    EXPECT_EQ(GetSetting(g_sAppName, "TTS", "Voice"), voice);

    w = g_frmWaveTTS();
    EXPECT_EQ(w->cboVoices->currentText(), voice);
    EXPECT_EQ(w->cboFormats->currentText(), "SAFT8kHz8BitMono");
    w->close();

    SaveSetting(g_sAppName, "TTS", "Voice", "No Such Voice");
    SaveSetting(g_sAppName, "TTS", "Format", "SAFT96kHz64BitSurround");
    w = g_frmWaveTTS();
    EXPECT_EQ(w->cboVoices->currentIndex(), 0);
    EXPECT_EQ(w->cboFormats->currentIndex(), -1);
    // No format chosen: the component keeps its own.
    w->cWaveTTS1->setSpeechFormat(4);
    w->txtSpeak->setPlainText("");
    w->close();
    // Closing stores what is selected, even nothing.
    EXPECT_EQ(GetSetting(g_sAppName, "TTS", "Format", "x"), "");
}

TEST_F(SpeechWindowTest, ClearTextAsksAndAnEmptyTextIsNotSpoken)
{
    testenv::ScriptedMessageBoxes boxes;
    FrmWaveTTS* w = g_frmWaveTTS();
    boxes.answer(vbNo);
    w->lblClearText->click();
    ASSERT_EQ(boxes.prompts(), QStringList{"This action will clear the Text-Box, continue?"});
    EXPECT_EQ(boxes.shown().at(0).buttons(), vbYesNo);
    EXPECT_FALSE(w->txtSpeak->toPlainText().isEmpty());
    boxes.answer(vbYes);
    w->lblClearText->click();
    EXPECT_TRUE(w->txtSpeak->toPlainText().isEmpty());
    EXPECT_FALSE(w->lblClearText->isEnabled());

    boxes.clear();
    w->cmdSay->click();
    EXPECT_EQ(boxes.prompts(), QStringList{"There is no text to speak."});
    EXPECT_FALSE(w->cWaveTTS1->IsSpeaking());
}

TEST_F(SpeechWindowTest, SayItHighlightsEachWordAsItIsHeard)
{
    if (!playerfx::haveOutput())
        GTEST_SKIP() << "no audio output";
    FrmWaveTTS* w = g_frmWaveTTS();
    w->txtSpeak->setPlainText("one two three");
    QStringList highlighted;
    QObject::connect(w->cWaveTTS1, &cWaveTTS::WordPosition, w, [&] {
        highlighted << w->txtSpeak->textCursor().selectedText();
    });
    bool done = false;
    QObject::connect(w->cWaveTTS1, &cWaveTTS::SpeakDone, w, [&] { done = true; });
    w->cmdSay->click();
    ASSERT_TRUE(w->cWaveTTS1->IsSpeaking());
    // While speaking, Say It applies nothing anew.
    const long format = w->cWaveTTS1->SpeechFormat();
    w->cboFormats->setCurrentText("SAFT44kHz16BitMono");
    w->cmdSay->click();
    EXPECT_EQ(w->cWaveTTS1->SpeechFormat(), format);
    ASSERT_TRUE(playerfx::waitFor([&] { return done; }, 20000));
    ASSERT_GE(highlighted.size(), 3);
    EXPECT_EQ(highlighted.mid(0, 3), (QStringList{"one", "two", "three"}));
    EXPECT_EQ(w->txtSpeak->textCursor().selectedText(), "one two three");
}

TEST_F(SpeechWindowTest, SaveAsSpeaksIntoTheChosenFileAndStaysOpen)
{
    testenv::ScriptedDialogs dialogs;
    testenv::ScriptedMessageBoxes boxes;
    FrmWaveTTS* w = g_frmWaveTTS();
    const QString temp = AppPath() + "/tmptts.wav";
    QFile::remove(temp);

    chooseTarget(w, "ACM");
    dialogs.cancel();
    w->cmdSaveAs->click();
    ASSERT_EQ(dialogs.requests().size(), 1u);
    EXPECT_EQ(dialogs.requests().at(0).title, "Save As");
    EXPECT_EQ(dialogs.requests().at(0).defaultSuffix, "acm");
    EXPECT_TRUE(dialogs.requests().at(0).nameFilters.join("|").contains("*.acm"));
    EXPECT_FALSE(QFileInfo::exists(temp));

    chooseTarget(w, "WAV");
    const QString out = dir + "spoken.wav";
    dialogs.choose({out});
    w->cmdSaveAs->click();
    EXPECT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join("\n").toStdString();
    EXPECT_TRUE(g_frmWaveTTSLoaded());
    const fixtures::Probe p = fixtures::probe(out);
    ASSERT_TRUE(p.ok);
    EXPECT_GT(p.seconds, 2.0);
    EXPECT_TRUE(QFileInfo::exists(temp));
}

TEST_F(SpeechWindowTest, AFailedSpeakingConvertsNothingAndSaysWhy)
{
    testenv::ScriptedDialogs dialogs;
    testenv::ScriptedMessageBoxes boxes;
    FrmWaveTTS* w = g_frmWaveTTS();
    // A folder where the temporary speech file goes: it cannot be written.
    const QString temp = AppPath() + "/tmptts.wav";
    QFile::remove(temp);
    ASSERT_TRUE(QDir().mkpath(temp + "/blocked"));
    const QString out = dir + "never.wav";
    dialogs.choose({out});
    w->cmdSaveAs->click();
    QDir(temp).removeRecursively();
    ASSERT_EQ(boxes.prompts().size(), 1);
    EXPECT_TRUE(boxes.prompts().at(0).startsWith("The speech file cannot be written"));
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(g_frmAudioEditorProcLoaded());
}

TEST_F(SpeechWindowTest, AHugeTextKeepsTheWindowAliveAndClosingStopsIt)
{
    testenv::ScriptedDialogs dialogs;
    testenv::ScriptedMessageBoxes boxes;
    FrmWaveTTS* w = g_frmWaveTTS();
    QString text;
    for (int i = 0; i < 200000; ++i)
        text += (i % 10 == 9) ? QStringLiteral("river. ") : QStringLiteral("stone ");
    w->txtSpeak->setPlainText(text);
    const QString out = dir + "huge.wav";
    dialogs.choose({out});
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    // Closed while the speaking is held after its first piece.
    HeldWork held(0);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, w, [&] {
        if (!held.held())
            return;
        closer.stop();
        EXPECT_FALSE(w->cmdSaveAs->isEnabled()); // no second command meanwhile
        w->close();
    });
    closer.start(10);
    QElapsedTimer t;
    t.start();
    w->cmdSaveAs->click();
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_GE(ticks, 5); // the event loop ran while the file was spoken
    ASSERT_TRUE(playerfx::waitFor([] { return !g_frmWaveTTSLoaded(); }, 2000));
    EXPECT_TRUE(boxes.prompts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(g_frmAudioEditorProcLoaded());
}

TEST_F(SpeechWindowTest, EditOpensTheChosenFormatsPageAndThenFollowsTheOptionsDefault)
{
    FrmWaveTTS* w = g_frmWaveTTS();
    const int optionsDefault = frmOptions()->cboTargetFormat->currentIndex();
    const QString other = optionsDefault == 0 ? "MP3" : "WAV";
    chooseTarget(w, other);
    ASSERT_NE(w->cboTargetFormat->currentIndex(), optionsDefault);
    QString pageShown;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return g_frmAudioProp()->isVisible(); }));
        cTabControl* tabs = g_frmAudioProp()->cTabControl1;
        pageShown = tabs->TabKey(tabs->SelectedTab());
        g_frmAudioProp()->reject(); // Cancel
    });
    w->cmdEditTargetFormat->click();
    EXPECT_EQ(pageShown, other);
    EXPECT_EQ(w->cboTargetFormat->currentIndex(), optionsDefault);
}

// Speaking to a file uses the output, voice and format of the window with
// rate 0 and volume 100: the sliders are for "Say It" only.
TEST_F(SpeechWindowTest, SpeakingToAFileIgnoresTheSliders)
{
    testenv::ScriptedDialogs dialogs;
    testenv::ScriptedMessageBoxes boxes;
    FrmWaveTTS* w = g_frmWaveTTS();
    chooseTarget(w, "WAV");
    const QString text = "Rate and volume.";
    w->txtSpeak->setPlainText(text);
    w->sldRate->setSliderValue(-7);
    w->sldVolume->setSliderValue(20);
    dialogs.choose({dir + "sliders.wav"});
    w->cmdSaveAs->click();
    ASSERT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join("\n").toStdString();
    const recfx::WavFile spoken = recfx::readWav(AppPath() + "/tmptts.wav");
    ASSERT_TRUE(spoken.valid);

    // The same text at rate 0 and volume 100 straight from the component:
    // as long, and as loud (the sliders' -7 and 20 would be far slower and softer).
    cWaveTTS reference;
    reference.InitSpeech();
    reference.setSpeechOutput(w->cboAudioOutputs->currentIndex());
    reference.setSpeechVoice(w->cboVoices->currentIndex());
    reference.setSpeechRate(0);
    reference.setSpeechVolume(100);
    reference.setSpeechOptions(11);
    reference.setSpeechFormat(long(w->cboFormats->currentData().toLongLong()));
    const QString expected = dir + "reference.wav";
    ASSERT_EQ(reference.SpeakToFile(text, expected), 0);
    const recfx::WavFile ref = recfx::readWav(expected);
    ASSERT_TRUE(ref.valid);
    ASSERT_GT(ref.seconds(), 0.3);
    EXPECT_NEAR(spoken.seconds(), ref.seconds(), ref.seconds() * 0.1);
    auto peak = [](const recfx::WavFile& f) {
        int top = 0;
        for (int i = 0; i + 1 < f.data.size(); i += 2)
            top = qMax(top, qAbs(int(qint16(quint8(f.data[i]) | (quint8(f.data[i + 1]) << 8)))));
        return top;
    };
    ASSERT_EQ(spoken.bits, 16);
    EXPECT_NEAR(peak(spoken), peak(ref), peak(ref) * 0.2);
}

// "Add to Items List" names the file with the first three letters of the
// destination format: an ACM WAV file ends in ".acm".
TEST_F(SpeechWindowTest, AddNamesTheFileAfterTheDestinationFormat)
{
    testenv::ScriptedMessageBoxes boxes;
    const QStringList before = QDir(AppPath()).entryList({"TTS_*"}, QDir::Files);
    for (const QString& f : before)
        QFile::remove(AppPath() + "/" + f);
    FrmWaveTTS* w = g_frmWaveTTS();
    chooseTarget(w, "ACM");
    ASSERT_TRUE(w->cboTargetFormat->currentText().startsWith("ACM"));
    w->txtSpeak->setPlainText("Short.");
    w->cmdAdd->click();
    EXPECT_TRUE(boxes.prompts().isEmpty()) << boxes.prompts().join("\n").toStdString();
    EXPECT_FALSE(g_frmWaveTTSLoaded());
    const QStringList made = QDir(AppPath()).entryList({"TTS_*"}, QDir::Files);
    ASSERT_EQ(made.size(), 1) << made.join(",").toStdString();
    EXPECT_TRUE(made.first().endsWith(".acm")) << made.first().toStdString();
    const fixtures::Probe p = fixtures::probe(AppPath() + "/" + made.first());
    EXPECT_TRUE(p.ok);
    QFile::remove(AppPath() + "/" + made.first());
}

} // namespace
