// Adding 1,000 short WAV files to a list with the add-files window shown:
// the whole run against the 2 s budget and against the bare cost of opening
// the same files with the converter component; the longest time the window
// went without handling events; and how many files are read after Cancel.
#include <QApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTreeView.h"
#include "core/MainWindowServices.h"
#include "lists/ItemRow.h"
#include "lists/frmStat.h"
#include "platform/MessageBox.h"
#include "bench/BenchAudio.h"

namespace {

using bench::median;

class BenchWindow : public MainWindowServices {
public:
    BenchWindow()
    {
        cGrid1 = new cGrid(&form);
        cGridInfo = new cGrid(&form);
        picEmptyMsg = new QWidget(&form);
        cStatusBar1 = new cStatusBar(&form);
        for (const char* key : {"Main", "Items List Properties", "Notes", "Master Volume"})
            cStatusBar1->AddPanel(0, QString(), QString(), -1, 100, false, false, 0, QString::fromLatin1(key));
        setMainWindow(this);
        SetGrid(cGrid1);
        SetGridInfo();
        form.resize(800, 600);
        form.show();
    }
    ~BenchWindow() override { setMainWindow(nullptr); }
    QWidget* Form() override { return &form; }
    void m_cMenu_Click(int) override {}
    void Form_Resize() override {}
    QString GetNotesToStatus() override { return {}; }
    QWidget form;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::setMessageBoxHandler([](const platform::MessageBoxRequest&) { return int(vbOK); });

    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < 1000; ++i) {
        const QString p = dir.filePath(QStringLiteral("f%1.wav").arg(i, 4, 10, QLatin1Char('0')));
        bench::writeWav(p, 44100 / 2, [](qint64, int) { return 0.0; });
        paths << p;
    }

    std::vector<double> ours, bare, gaps;
    bool rowsOk = true;
    for (int run = 0; run < 5; ++run) {
        {
            QElapsedTimer t;
            t.start();
            cAudioConverter conv;
            for (const QString& p : paths) {
                if (conv.OpenSourceFile(p) == 0)
                    (void)conv.DurationMs();
                conv.CloseSourceFile();
            }
            bare.push_back(t.elapsed() / 1000.0);
        }
        BenchWindow w;
        // The longest stretch without a timer tick shows how long the window could not answer.
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.restart());
        });
        QElapsedTimer t;
        t.start();
        sinceTick.start();
        ticker.start();
        g_frmStat()->AddFilesToList(paths, w.cGrid1, w.Form(), false);
        ticker.stop();
        ours.push_back(t.elapsed() / 1000.0);
        gaps.push_back(double(longest));
        if (w.cGrid1->RowCount() != 1000) {
            std::printf("only %d rows\n", w.cGrid1->RowCount());
            rowsOk = false;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Cancel pressed while the 500th file is added: files read afterwards.
    int readAfterCancel = -1;
    {
        BenchWindow w;
        FrmStat* stat = g_frmStat();
        int rowsAtCancel = -1;
        QObject::connect(w.cGrid1, &cGrid::RowChange, [] {});
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (rowsAtCancel < 0 && stat->cProgressBar1->ProgressValue() >= 500) {
                rowsAtCancel = w.cGrid1->RowCount();
                stat->cmdCancel->click();
            }
        });
        poll.start();
        stat->AddFilesToList(paths, w.cGrid1, w.Form(), false);
        poll.stop();
        readAfterCancel = w.cGrid1->RowCount() - rowsAtCancel;
    }

    const double mo = median(ours), mb = median(bare);
    std::printf("%-28s %.3f s for 1,000 files\n", "Add files (window shown)", mo);
    std::printf("%-28s %.3f s  ratio ours / bare open %.2f\n", "Bare converter open + length", mb, mo / mb);
    std::printf("%-28s %.0f ms longest without handling events\n", "Responsiveness", median(gaps));
    bench::Goals goals;
    goals.judge("adding 1,000 files with the window shown", QStringLiteral("%1 s").arg(mo, 0, 'f', 3), "under 2 s",
                mo < 2.0);
    goals.judge("rows added in every run", rowsOk ? "1,000" : "fewer", "1,000", rowsOk);
    goals.judge("files read after Cancel", QString::number(readAfterCancel), "at most 1",
                readAfterCancel >= 0 && readAfterCancel <= 1);
    return goals.finish();
}
