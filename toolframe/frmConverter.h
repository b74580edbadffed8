#pragma once
// "Audio Converter": converts the marked items into the chosen format, one
// output file per row, named from the template and written into the
// destination folder. The job itself belongs to the audio tools; this is the
// window on the tool frame.
#include <memory>

#include "toolframe/JobParameters.h"
#include "toolframe/ToolWindow.h"

class cAudioConverter;

class FrmConverter : public ToolWindow {
    Q_OBJECT
public:
    explicit FrmConverter(QWidget* parent = nullptr);
    ~FrmConverter() override;

    // Knows, besides the frame's macros, "[SOURCE_NAME]", "[ITEM_NAME]" and
    // "[RANGE]" of the row the job is at (m_lCurrentRow).
    QString CreateID3TagsString(const QString& sStr) override;

    cAudioConverter* cAudioConverter1 = nullptr;

    // The design text of the window.
    static ToolFrameDesign Design();

protected:
    AudioJobTarget* JobTarget() override { return &m_target; }
    void LoadOwnTail() override;
    void UnloadOwnSteps() override;

private:
    ComponentJobTarget<cAudioConverter> m_target;
};

// The converter window, created on first use (running its Form_Load) and
// destroyed when it closes.
FrmConverter* g_frmConverter();
bool g_frmConverterLoaded();
