#pragma once
// "ACM Converter": converts every row into a WAV file compressed by the
// codec and format chosen on the Settings page. The codec list can be
// narrowed to the codecs that convert a chosen item's format as it is.
#include "toolframe/JobParameters.h"
#include "toolframe/ToolWindow.h"

class cAudioConverter;

class FrmACMConverter : public ToolWindow {
    Q_OBJECT
public:
    explicit FrmACMConverter(QWidget* parent = nullptr);
    ~FrmACMConverter() override;

    enum TaskResult : long {
        RowStarted = 0,
        RowSkipped = 1,   // its output exists and the user said No
        RowCancelled = 2, // the user said Cancel: the job stops
    };

    void cmdConvert_Click() override;
    void cmdAbort_Click() override;
    void ConvertTracks() override;
    long ConvertTask(long lRow) override;
    // Output format ACM WAV with the codec and format of the two boxes.
    long SetDestination() override;

    // Lists the formats of the codec in cboTags and chooses the first.
    void cboTags_Click();
    // Refills the codec list for the entry of cboBestAccordItem; for a file,
    // once its format has been read (ItemPending() until then).
    void cboBestAccordItem_Click();
    bool ItemPending() const { return m_bItemPending; }
    // The main window's fill-in: "All ACM Codecs", the files, then the
    // selected file chosen (which runs cboBestAccordItem_Click).
    void FillBestAccordItem(const QStringList& files, const QString& selected);

    void cAudioConverter1_JobProgress(int percent);
    void cAudioConverter1_JobDone();
    void cAudioConverter1_JobAborted();
    void cAudioConverter1_JobError(int code, const QString& text);
    void cAudioConverter1_ACMFormatTagFound(const QString& name);
    void cAudioConverter1_ACMFormatFound(const QString& name);

    cAudioConverter* cAudioConverter1 = nullptr;
    QComboBox* cboBestAccordItem = nullptr;
    QComboBox* cboTags = nullptr;
    QComboBox* cboFormats = nullptr;

    static ToolFrameDesign Design();

protected:
    AudioJobTarget* JobTarget() override { return &m_target; }
    QString DestExtension() const override { return QStringLiteral("wav"); }
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;

private:
    // Lists the codecs for the last format read, PCM chosen.
    void ListCodecs(int flags);
    // Reads the chosen items' formats, apart from the component that converts.
    cAudioConverter* m_probe = nullptr;
    int m_probeRate = 0, m_probeChannels = 0, m_probeBits = 0;
    quint64 m_bestAccordChoice = 0;
    bool m_bItemPending = false;
    ComponentJobTarget<cAudioConverter> m_target;
};

FrmACMConverter* g_frmACMConverter();
bool g_frmACMConverterLoaded();
