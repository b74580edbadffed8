#include "audiotools/frmJoiner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "audiotools/JobSteps.h"
#include "components/audio/AudioJobErrors.h"
#include "components/audio/cAudioJoin.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "core/Edition.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "platform/MessageBox.h"
#include "settings/SettingsWidgets.h"
#include "toolframe/NameMacros.h"

namespace {

QPointer<FrmJoiner>& windowRef()
{
    static QPointer<FrmJoiner> p;
    return p;
}

// A range cell as whole seconds; false when it holds no whole number.
bool RangeSeconds(const QString& text, long* value)
{
    bool ok = false;
    *value = text.trimmed().toLong(&ok);
    return ok;
}

} // namespace

ToolFrameDesign FrmJoiner::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmJoiner");
    d.caption = QStringLiteral("Audio Joiner");
    d.iconResource = QStringLiteral("colors");
    d.startCaption = QStringLiteral("Join");
    d.settingsTabCaption = QStringLiteral("Joiner Options        ");
    d.settingsTabIcon = 64;
    d.playSoundCaption = QStringLiteral("Play sound");
    d.noticeAppCaption = QStringLiteral("Notice application ");
    d.destination = true;
    d.targetFormat = true;
    d.parametersLink = true;
    return d;
}

FrmJoiner::FrmJoiner(QWidget* parent) : ToolWindow(Design(), parent)
{
    lblJoinedFileName = new QLabel(QStringLiteral("File Name Format:"), TabSettings);
    lblJoinedFileName->setObjectName("lblJoinedFileName");
    txtJoinedFileName = new QLineEdit(QStringLiteral("Joined_File-[date]-[time].[dest_extension]"), TabSettings);
    txtJoinedFileName->setObjectName("txtJoinedFileName");
    txtJoinedFileName->setAccessibleName(lblJoinedFileName->text());
    LayOutStandardSettings();
    // The caption heads the name box, with the "Parameters" link, which
    // explains its macros, on its line: where the other tools have their
    // template list.
    if (auto* grid = qobject_cast<QGridLayout*>(TabSettings->layout())) {
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(grid->indexOf(lblParameters), &row, &column, &rows, &columns);
        grid->removeWidget(lblParameters);
        auto* name = new QHBoxLayout;
        name->addWidget(txtJoinedFileName, 1);
        name->addSpacing(10);
        name->addWidget(lblParameters);
        grid->addWidget(lblJoinedFileName, row, 0);
        grid->addLayout(name, row, 1);
    }

    cAudioJoin1 = new cAudioJoin(this);
    cAudioJoin1->setObjectName("cAudioJoin1");
    m_target.setComponent(cAudioJoin1);
    connect(cAudioJoin1, &cAudioJoin::JobProgress, this,
            [this](int index, int percent) { cAudioJoin1_JobProgress(index, percent); });
    connect(cAudioJoin1, &cAudioJoin::JobDone, this, [this] { cAudioJoin1_JobDone(); });
    connect(cAudioJoin1, &cAudioJoin::JobAborted, this, [this] { cAudioJoin1_JobAborted(); });
    connect(cAudioJoin1, &cAudioJoin::JobError, this,
            [this](int code, const QString& text) { cAudioJoin1_JobError(code, text); });
    // The whole list is one run of the joiner: its rows are the files it
    // reports on, and an error ends the job.
    m_rowJob.jobCaption = false;
    m_rowJob.busyCursor = false;
    m_rowJob.timeLeft = false;
    m_rowJob.clampTotal = true;
    m_rowJob.perRow = false;
}

FrmJoiner::~FrmJoiner() = default;

void FrmJoiner::LoadOwnTail()
{
    CheckUnderFolderEna();
}

void FrmJoiner::UnloadOwnSteps()
{
    if (cAudioJoin1)
        cAudioJoin1->ReleaseComponent();
}

QString FrmJoiner::ExpandJoinedFileName(const QString& sTemplate, const QDateTime& now) const
{
    QString s = sTemplate;
    s.replace("[source_extension]", GetLastExtension(sTemplate).toLower());
    const QString dest = DestExtensionOf(cboTargetFormat->currentText());
    if (!dest.isNull())
        s.replace("[dest_extension]", dest);
    s.replace("[time]", now.time().toString("HH:mm:ss").replace(':', '-'));
    s.replace("[date]", ShortDateText(now.date()).replace('/', '-'));
    return s;
}

void FrmJoiner::cmdConvert_Click()
{
    if (JobRunning() || !PrepareRowJob(this, QStringLiteral("join")))
        return;
    // Each job numbers its files afresh, so the first file gets its line.
    m_lLastJoinFile = 0;
    JoinFiles();
}

void FrmJoiner::JoinFiles()
{
    StartJoinJob();
}

long FrmJoiner::StartJoinJob()
{
    const QString name = ExpandJoinedFileName(txtJoinedFileName->text());
    SetID3Tags(1);

    for (int n = cAudioJoin1->JoinFileCount(); n >= 1; --n)
        cAudioJoin1->RemoveJoinFile(1);
    const long rows = cGrid1->RowCount();
    QString inputIsOutput;
    const QString problem = OutputNameProblem(name);
    const QString output = problem.isEmpty() ? JoinFolderAndName(OutputFolder(), name) : QString();
    for (long row = 1; row <= rows; ++row) {
        const QString path = GridCell(cGrid1, row, COL_FILE);
        long start = -1, length = -1;
        if (GridCell(cGrid1, row, COL_RANGE_ALL) != QLatin1String("1")) {
            long s = 0, l = 0;
            if (RangeSeconds(GridCell(cGrid1, row, COL_RANGE_START_TIME), &s) &&
                RangeSeconds(GridCell(cGrid1, row, COL_RANGE_LENGTH_TIME), &l) && s >= 0 && l >= 1) {
                start = s;
                length = l;
            } else {
                AddLogLine(GetFileNameFromPath(path) + ": the range is not a number; the whole file is joined.",
                           txtLog);
            }
        }
        cAudioJoin1->AddJoinFile(path, int(start), int(length));
        if (!output.isEmpty() && inputIsOutput.isEmpty() && SameFile(path, output))
            inputIsOutput = path;
    }

    // A join that cannot start fails the way a component error does.
    auto failLater = [this](int code, const QString& text) {
        SetJobButtonsEnabled(this, false);
        QTimer::singleShot(0, this, [this, code, text] { cAudioJoin1_JobError(code, text); });
        return long(JoinStarted);
    };
    if (!problem.isEmpty())
        return failLater(kvaudio::ErrOutputPath, problem);
    if (!inputIsOutput.isEmpty())
        return failLater(kvaudio::ErrOutputIsInput,
                         "The output file is one of the files to join: '" + inputIsOutput + "'.");

    if (FileAtOutputPath(output)) {
        const int answer = AskOverwrite(output, txtLog, this);
        if (answer == vbNo)
            return JoinDeclined;
        if (answer == vbCancel)
            return JoinCancelled;
    }

    cAudioJoin1->setOutputFile(output);
    prgTotal->setProgressMax(100 * rows);
    SetJobButtonsEnabled(this, false);
    lblCurrentTrack->setText(QStringLiteral("Processing..."));
    cAudioJoin1->StartJoin();
    return JoinStarted;
}

void FrmJoiner::cAudioJoin1_JobProgress(int fileIndex, int percent)
{
    if (percent < 1)
        return;
    ShowRowProgress(this, percent, fileIndex);
    lblFilesToConvert->setText("Files: " + QString::number(fileIndex) + "/" + QString::number(cGrid1->RowCount()));
    if (fileIndex != m_lLastJoinFile) {
        m_lLastJoinFile = fileIndex;
        int start = 0, length = 0;
        AddLogLine("Add " + GetFileNameFromPath(cAudioJoin1->JoinFileEntry(fileIndex, start, length)) + "...",
                   txtLog);
    }
}

void FrmJoiner::cAudioJoin1_JobDone()
{
    SetJobButtonsEnabled(this, true);
    FinishJobDone();
    AddLogLine(QStringLiteral("Done."), txtLog);
    prgCurrnet->setProgressValue(100);
    prgTotal->setProgressValue(100L * cGrid1->RowCount());
}

void FrmJoiner::cAudioJoin1_JobAborted()
{
    ShowRowJobAborted(this);
}

void FrmJoiner::cAudioJoin1_JobError(int code, const QString& text)
{
    // The join made nothing: the error is the job's end.
    NoteRowJobError(this, code, text);
}

void FrmJoiner::cmdAbort_Click()
{
    AbortRowJob(this, [this] {
        cAudioJoin1->AbortJob();
        cAudioJoin1->ResetJoin();
    });
}

FrmJoiner* g_frmJoiner()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmJoiner(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmJoinerLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
