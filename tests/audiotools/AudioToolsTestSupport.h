#pragma once
// What the audio tools' tests share: the program's settings as start-up
// leaves them, the log as plain messages, and waiting for a job to end.
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "audiotools/AudioTools.h"
#include "core/Edition.h"
#include "settings/FormatSettings.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/support/TestEnv.h"
#include "toolframe/ToolWindow.h"

namespace attest {

// The settings dialogs loaded, every setting read, the jobs installed.
inline void startProgram()
{
    SetAppModes();
    testenv::installMachineKeys();
    frmOptions();
    g_frmAudioProp();
    InstallAudioTools();
    g_lMP3Bitrate = 128;
    g_lMP3Samplerate = 44100;
}

// The log's lines without their time of day ("14:05:33:Done." gives "Done.");
// an empty line stays empty.
inline QStringList logMessages(const QPlainTextEdit* log)
{
    QStringList out;
    QStringList lines = log->toPlainText().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString line : lines) {
        line.remove('\r');
        int colon = -1;
        for (int i = 0; i < 3 && !line.isEmpty(); ++i)
            colon = line.indexOf(':', colon + 1);
        out << (line.isEmpty() ? QString() : line.mid(colon + 1));
    }
    return out;
}

// Waits until the window's job has ended (its start button is enabled again).
inline bool waitForJobEnd(ToolWindow* w, int ms = 120000)
{
    return QTest::qWaitFor([w] { return w->cmdConvert->isEnabled(); }, ms);
}

// Calls back, synchronously, each time the object gets an event of the type:
// a look at the window at a moment no signal marks.
class EventWatch : public QObject {
public:
    EventWatch(QObject* watched, QEvent::Type type, std::function<void()> onEvent)
        : m_type(type), m_onEvent(std::move(onEvent))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == m_type)
            m_onEvent();
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_onEvent;
};

// Starts the window's job, holds it at its first progress report and aborts
// it there, Yes to the question; true once the job has ended.
inline bool abortMidWay(ToolWindow* w, testenv::ScriptedMessageBoxes& boxes)
{
    HeldWork held;
    w->cmdConvert->click();
    if (!held.waitHeld())
        return false;
    boxes.answer(vbYes);
    w->cmdAbort->click();
    return waitForJobEnd(w);
}

// Starts the window's job and holds it at its first report of 10 % or more:
// true once the time-left label shows an estimate (the job's clock ticks
// each second). The job goes on as `held` lets go.
inline bool timeLeftShownWhileHeld(ToolWindow* w, HeldWork& held)
{
    w->cmdConvert->click();
    if (!held.waitHeld() || !w->Timer1->isActive())
        return false;
    return QTest::qWaitFor([w] { return w->lblTimeLeft->text() != ToolWindow::TimeLeftZeroText(); }, 10000);
}

// Selects the format entry whose text begins with the three letters.
inline void chooseFormat(ToolWindow* w, const QString& key)
{
    for (int i = 0; i < w->cboTargetFormat->count(); ++i)
        if (w->cboTargetFormat->itemText(i).startsWith(key))
            w->cboTargetFormat->setCurrentIndex(i);
}

// Selects a template, adding it to the box when it is not there.
inline void chooseTemplate(ToolWindow* w, const QString& text)
{
    int i = w->cboFileName->findText(text);
    if (i < 0) {
        w->cboFileName->addItem(text);
        i = w->cboFileName->count() - 1;
    }
    w->cboFileName->setCurrentIndex(i);
}

// The names in a folder, hidden ones too.
inline QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace attest
