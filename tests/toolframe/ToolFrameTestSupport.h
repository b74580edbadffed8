#pragma once
// What the tool frame's tests share: a main window with an items grid, image
// lists and a balloon that records, and one log of every service the end of
// a job reaches (sound, shell, program, balloon, turn-off window), in order.
#include <QMap>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "components/controls/cImageList.h"
#include "components/controls/cGrid.h"
#include "core/MainWindowServices.h"
#include "core/Shutdown.h"
#include "lists/ItemRow.h"
#include "platform/Shell.h"
#include "platform/Sound.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "toolframe/frmConverter.h"
#include <gtest/gtest.h>

namespace tftest {

// The item row's keys in their order.
inline QStringList ItemKeys()
{
    QStringList keys;
    for (int i = 0; i < kItemColumnCount; ++i)
        keys << QString::fromLatin1(ItemColumnAt(i).key);
    return keys;
}

// Everything the end of a job did, in order.
struct ServiceLog {
    QStringList events;
    platform::SoundHandler oldSound;
    platform::ShellHandler oldShell;

    ServiceLog()
    {
        oldSound = platform::setSoundHandler([this](const platform::SoundRequest& r) {
            if (r.kind == platform::SoundRequest::Play)
                events << "sound " + r.file;
        });
        oldShell = platform::setShellHandler([this](const platform::ShellRequest& r) {
            if (r.kind == platform::ShellRequest::Open)
                events << "open " + r.target;
            else
                events << "start " + (QStringList{r.target} + r.arguments).join("|");
            return true;
        });
    }
    ~ServiceLog()
    {
        platform::setSoundHandler(oldSound);
        platform::setShellHandler(oldShell);
    }

    // Catches the turn-off countdown when it comes up, notes it with its
    // seconds and cancels it. The watch ends with this log, so a countdown of
    // a later test is never caught by it.
    void cancelTurnOffWhenShown()
    {
        auto poll = std::make_unique<QTimer>();
        poll->setInterval(5);
        QTimer* t = poll.get();
        QObject::connect(t, &QTimer::timeout, t, [this, t] {
            if (g_frmTurnOffLoaded() && g_frmTurnOff()->isVisible()) {
                events << "turnoff " + g_frmTurnOff()->lblSecToShutDown->text();
                t->stop();
                g_frmTurnOff()->cmdCancel->click();
            }
        });
        t->start();
        polls.push_back(std::move(poll));
    }
    std::vector<std::unique_ptr<QTimer>> polls;
};

class FakeMain : public MainWindowServices {
public:
    explicit FakeMain(ServiceLog* log = nullptr) : m_log(log)
    {
        cGrid1 = new cGrid(&form);
        imgMenu = new cImageList(&form);
        imgGrid = new cImageList(&form);
        setMainWindow(this);
        SetGrid(cGrid1, imgGrid); // the main window's items grid
    }
    ~FakeMain() override { setMainWindow(nullptr); }

    QWidget* Form() override { return &form; }
    void m_cMenu_Click(int) override {}
    void Form_Resize() override {}
    QString GetNotesToStatus() override { return {}; }
    void ShowTrayBalloon(const QString& text, const QString& title, int icon, int time) override
    {
        balloons << QString("%1|%2|%3|%4").arg(text, title).arg(icon).arg(time);
        if (m_log)
            m_log->events << "balloon " + text;
    }

    // Appends a row to the main grid: the mark icon and the texts by key.
    int addRow(bool marked, const QMap<QString, QString>& cells)
    {
        const int row = cGrid1->RowCount() + 1;
        cGrid1->SetCell(row, 1, QString(), cGrid::kIconCellFormat, marked ? 1 : 0);
        for (auto it = cells.begin(); it != cells.end(); ++it)
            cGrid1->SetCell(row, cGrid1->ColumnIndex(it.key()), it.value());
        return row;
    }

    QWidget form;
    QStringList balloons;

private:
    ServiceLog* m_log = nullptr;
};

// Each test opens the tool and settings windows afresh: a window left
// loaded keeps what an earlier test gave it.
class FreshToolWindows : public ::testing::Test {
protected:
    void SetUp() override { unloadAll(); }
    void TearDown() override { unloadAll(); }
    static void unloadAll()
    {
        if (g_frmConverterLoaded())
            g_frmConverter()->close();
        UnloadOptions();
        UnloadAudioProp();
    }
};

} // namespace tftest
