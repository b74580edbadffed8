#pragma once
// What every test process gets: its own settings store, config folder and
// program folder (set up by the shared main()), plus scripted stand-ins for
// message boxes, dialogs and the shell.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

#include "platform/DialogService.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "platform/Shell.h"
#include "platform/Sound.h"

namespace testenv {

// The per-process temporary root (removed at exit).
QString tempRoot();
QString programDir();
QString registryRoot();

// The install step: the machine-wide key with all its sub-keys.
void installMachineKeys();

// The public sample files, or an empty string when they are not reachable
// from here (the caller then skips).
QString testDataDir();

// Answers message boxes in order (vbOK when the queue runs dry) and records them.
class ScriptedMessageBoxes {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    void answer(int result) { m_answers.push_back(result); }
    const std::vector<platform::MessageBoxRequest>& shown() const { return m_shown; }
    QStringList prompts() const;
    void clear() { m_shown.clear(); }

private:
    std::deque<int> m_answers;
    std::vector<platform::MessageBoxRequest> m_shown;
    platform::MessageBoxHandler m_previous;
};

// Answers file, folder and colour dialogs in order (cancel when dry) and records the requests.
class ScriptedDialogs {
public:
    ScriptedDialogs();
    ~ScriptedDialogs();
    void answer(const platform::DialogAnswer& a) { m_answers.push_back(a); }
    void choose(const QStringList& paths) { m_answers.push_back({true, paths, 0, 0}); }
    void cancel() { m_answers.push_back({}); }
    const std::vector<platform::DialogRequest>& requests() const { return m_requests; }

private:
    std::deque<platform::DialogAnswer> m_answers;
    std::vector<platform::DialogRequest> m_requests;
    platform::DialogHandler m_previous;
};

// Records shell opens and program starts instead of doing them.
class RecordingShell {
public:
    RecordingShell();
    ~RecordingShell();
    const std::vector<platform::ShellRequest>& requests() const { return m_requests; }

private:
    std::vector<platform::ShellRequest> m_requests;
    platform::ShellHandler m_previous;
};

// Records sounds played and stopped instead of playing them.
class RecordingSound {
public:
    RecordingSound();
    ~RecordingSound();
    const std::vector<platform::SoundRequest>& requests() const { return m_requests; }
    QStringList played() const;
    int stops() const;

private:
    std::vector<platform::SoundRequest> m_requests;
    platform::SoundHandler m_previous;
};

// Stands in for the login manager: answers CanPowerOff with canAnswer and
// PowerOff as told, and records every request (in `calls`, with other
// events a test may add to the same log).
class RecordingPower : public platform::PowerService {
public:
    RecordingPower();
    ~RecordingPower() override;
    platform::PowerReply canPowerOff() override;
    platform::PowerReply powerOff() override;

    QString canAnswer = QStringLiteral("yes");
    bool busAvailable = true;
    bool accept = true;                 // PowerOff succeeds
    QString refusal = QStringLiteral("Access denied");
    int powerOffRequests = 0;
    QStringList calls;

private:
    platform::PowerService* m_previous = nullptr;
};

// Installed by the test main for every test: refuses to power off.
platform::PowerService& refusingPower();

// Runs a Python script under the system interpreter (where Debian's Python
// packages, such as mutagen, live); false, with the reason, when it cannot
// run or fails.
bool runSystemPython(const QString& script, const QStringList& args, QByteArray* out, QString* why);

} // namespace testenv
