#pragma once
// "Audio Joiner": joins the rows of its grid, each a whole file or a range
// of one, into one output file named from its own template. The whole list
// goes to the joiner component at once and runs as one unit.
#include <QDateTime>

#include "toolframe/JobParameters.h"
#include "toolframe/ToolWindow.h"

class cAudioJoin;

class FrmJoiner : public ToolWindow {
    Q_OBJECT
public:
    explicit FrmJoiner(QWidget* parent = nullptr);
    ~FrmJoiner() override;

    // What the preparation of a join came to.
    enum JoinResult : long {
        JoinStarted = 0,
        JoinDeclined = 1,  // the output exists and the user said No
        JoinCancelled = 2, // ... and the user said Cancel
    };

    void cmdConvert_Click() override;
    void cmdAbort_Click() override;
    void JoinFiles() override;
    // Prepares the component and starts the join.
    long StartJoinJob();
    // The output name, without folder, from the template.
    QString ExpandJoinedFileName(const QString& sTemplate, const QDateTime& now = QDateTime::currentDateTime()) const;

    void cAudioJoin1_JobProgress(int fileIndex, int percent);
    void cAudioJoin1_JobDone();
    void cAudioJoin1_JobAborted();
    void cAudioJoin1_JobError(int code, const QString& text);

    cAudioJoin* cAudioJoin1 = nullptr;
    QLabel* lblJoinedFileName = nullptr;
    QLineEdit* txtJoinedFileName = nullptr;
    // The join-list entry the last "Add " line was written for.
    long m_lLastJoinFile = 0;

    static ToolFrameDesign Design();

protected:
    AudioJobTarget* JobTarget() override { return &m_target; }
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;

private:
    ComponentJobTarget<cAudioJoin> m_target;
};

// The joiner window, created on first use (running its Form_Load) and
// destroyed when it closes.
FrmJoiner* g_frmJoiner();
bool g_frmJoinerLoaded();
