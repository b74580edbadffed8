#pragma once
// "Parameters": the lists of the macros the user may type in the external
// program's command line, the ID3 tag texts and the output name templates,
// one section at a time. It only shows them.
#include <QDialog>
#include <QVector>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class FrmProgParameters : public QDialog {
    Q_OBJECT
public:
    explicit FrmProgParameters(QWidget* parent = nullptr);

    void Form_Load();
    // Shows the frame of the selected section (none for no selection).
    void cboSections_Click();
    void cmdOk_Click();

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* Label1 = nullptr; // "Sections:"
    QComboBox* cboSections = nullptr;
    QFrame* fraAppNotic = nullptr; // section 0
    QFrame* fraID3Tags = nullptr;  // section 1
    QFrame* fraExt = nullptr;      // section 2
    // The macro of every line, section 0 first.
    QVector<QLineEdit*> txtParameter;
    QPushButton* cmdOk = nullptr;

    // Set once the window has closed; the next opening builds a new one.
    bool m_bUnloaded = false;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QFrame* addSection(const char* name, const QList<QPair<QString, QString>>& lines);
};

// The window, created on first use (running its Form_Load) and destroyed when it closes.
FrmProgParameters* g_frmProgParameters();
bool g_frmProgParametersLoaded();

// Loads the window, selects the section (0 "Execute external application",
// 1 "ID3 Audio Tags", 2 "File Name Format") and shows it modally.
void OpenProgParameters(int section);
