#include "core/FileCopy.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <sys/stat.h>

#include "components/controls/cProgressBar.h"
#include "core/CommonLook.h"
#include "core/MainWindowServices.h"
#include "core/WindowHelpers.h"
#include "platform/DoEvents.h"
#include "platform/MessageBox.h"

namespace {

const long kDefaultChunk = 32000;

} // namespace

bool SameFile(const QString& a, const QString& b)
{
    const QFileInfo ia(a), ib(b);
    if (!ia.exists() || !ib.exists())
        return false;
    if (ia.canonicalFilePath() == ib.canonicalFilePath())
        return true;
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FileCopyClass::fail(const QString& text)
{
    m_errorText = text;
    m_sucessfull = false;
    return false;
}

void FileCopyClass::Copy(const QString& SourceFile, const QString& Destination)
{
    const qint64 chunk = m_cacheSize > 0 ? m_cacheSize : kDefaultChunk;
    m_errorText.clear();
    m_sucessfull = false;
    m_percentReady = 0;

    const QFileInfo source(SourceFile);
    if (SourceFile.isEmpty() || !source.isFile()) {
        fail("The file to copy does not exist:\r\n" + SourceFile);
        return;
    }
    if (Destination.isEmpty()) {
        fail(QStringLiteral("No file to copy to."));
        return;
    }
    if (SameFile(SourceFile, Destination)) {
        fail("A file cannot be copied onto itself:\r\n" + Destination);
        return;
    }

    QElapsedTimer clock;
    clock.start();

    QFile in(SourceFile);
    if (!in.open(QIODevice::ReadOnly)) {
        fail("The file could not be read:\r\n" + SourceFile + "\r\n" + in.errorString());
        return;
    }
    QSaveFile out(Destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        fail("The file could not be created:\r\n" + Destination + "\r\n" + out.errorString());
        return;
    }
    auto abandon = [&](const QString& text) {
        out.cancelWriting();
        fail(text);
    };
    auto writeAll = [&](const QByteArray& data) { return out.write(data) == data.size(); };

    const qint64 length = in.size();
    if (length < chunk) {
        const QByteArray all = in.readAll();
        if (all.size() != length)
            return abandon("The file could not be read:\r\n" + SourceFile);
        if (!writeAll(all))
            return abandon("The file could not be written:\r\n" + Destination + "\r\n" + out.errorString());
    } else {
        // At most two chunks wait in memory; each chunk read yields once.
        qint64 readSize = chunk;
        qint64 position = 0;
        qint64 written = 0;
        QByteArray pending;
        while (position < length) {
            const QByteArray part = in.read(readSize);
            if (part.size() != readSize)
                return abandon("The file could not be read:\r\n" + SourceFile);
            position += part.size();
            pending += part;
            if (pending.size() >= 2 * chunk) {
                if (!writeAll(pending))
                    return abandon("The file could not be written:\r\n" + Destination + "\r\n" + out.errorString());
                written += pending.size();
                pending.clear();
            }
            m_percentReady = int(std::lround(100.0 * double(written) / double(length)));
            DoEvents();
            if (length - position < readSize)
                readSize = length - position;
        }
        if (!pending.isEmpty() && !writeAll(pending))
            return abandon("The file could not be written:\r\n" + Destination + "\r\n" + out.errorString());
    }
    in.close();
    if (!out.commit()) {
        fail("The file could not be written:\r\n" + Destination + "\r\n" + out.errorString());
        return;
    }
    m_sucessfull = true;
    m_percentReady = 100;
    m_secondsTaken = long(std::lround(clock.elapsed() / 1000.0));
}

// ---------------------------------------------------------------------------

namespace {
QPointer<FrmFileCopy>& windowRef()
{
    static QPointer<FrmFileCopy> p;
    return p;
}
} // namespace

FrmFileCopy::FrmFileCopy(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName("g_frmFileCopy");
    setWindowTitle(QStringLiteral("File Copy"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(8355), TwipsToPixels(2895));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);

    BuildTitleStrip(this, QStringLiteral("File Copy"), picTitle, lblTitle);
    root->addWidget(picTitle);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(12, 8, 12, 0);
    Label1 = new QLabel(QStringLiteral("From:"), this);
    Label1->setObjectName("Label1");
    lblFrom = new QLabel(this);
    lblFrom->setObjectName("lblFrom");
    Label2 = new QLabel(QStringLiteral("To:"), this);
    Label2->setObjectName("Label2");
    lblTo = new QLabel(this);
    lblTo->setObjectName("lblTo");
    for (QLabel* l : {lblFrom, lblTo}) {
        l->setTextFormat(Qt::PlainText);
        l->setMinimumWidth(1);
    }
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(lblFrom, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(lblTo, 1, 1);
    grid->setColumnStretch(1, 1);
    root->addLayout(grid);

    lblState = new QLabel(QStringLiteral("State"), this);
    lblState->setObjectName("lblState");
    lblState->setContentsMargins(12, 0, 12, 0);
    root->addWidget(lblState);

    ProgressBar1 = new XP_ProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    auto* barRow = new QHBoxLayout;
    barRow->setContentsMargins(12, 0, 12, 0);
    barRow->addWidget(ProgressBar1);
    root->addLayout(barRow);
    root->addStretch(1);

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setObjectName("cmdOk");
    QFont bf = cmdOk->font();
    bf.setBold(true);
    cmdOk->setFont(bf);
    cmdOk->setAutoDefault(false);
    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit->setObjectName("cmdExit");
    cmdExit->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 0);
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdExit);
    root->addLayout(buttons);

    tmrStart = new QTimer(this);
    tmrStart->setObjectName("tmrStart");
    tmrStart->setInterval(100);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    tmrEnd = new QTimer(this);
    tmrEnd->setObjectName("tmrEnd");
    tmrEnd->setInterval(100);

    // Each timer switches itself off before it works: the copy yields to the
    // event loop, and a timer must not fire again inside its own handler.
    connect(tmrStart, &QTimer::timeout, this, [this] {
        tmrStart->stop();
        FileCopyEx(g_sSourceFile, g_sDestFile);
    });
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (m_copy)
            ProgressBar1->setProgressValue(m_copy->PercentREady());
    });
    connect(tmrEnd, &QTimer::timeout, this, [this] {
        tmrEnd->stop();
        close();
    });
    connect(cmdOk, &QPushButton::clicked, this, [this] { FileCopyEx(g_sSourceFile, g_sDestFile); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { close(); });

    Form_Load();
}

FrmFileCopy::~FrmFileCopy()
{
    delete m_copy;
}

void FrmFileCopy::Form_Load()
{
    ApplyCommonLook(this, picTitle, lblTitle);
    ProgressBar1->setBarColor(g_lAppColor);
}

void FrmFileCopy::FileCopyEx(const QString& sSource, const QString& sDest)
{
    tmrEnd->stop();
    cmdOk->setEnabled(false);
    cmdExit->setEnabled(false);
    ProgressBar1->setProgressValue(0);
    ProgressBar1->setVisible(true);
    lblState->setText(QStringLiteral("Copying"));

    m_copy = new FileCopyClass;
    m_copy->setCacheSize(8000);
    Timer1->start();
    m_copy->Copy(sSource, sDest);
    Timer1->stop();
    const bool ok = m_copy->Sucessfull();
    const QString error = m_copy->ErrorText();
    if (ok)
        ProgressBar1->setProgressValue(100);
    else
        ProgressBar1->setProgressValue(m_copy->PercentREady());
    delete m_copy;
    m_copy = nullptr;

    cmdOk->setEnabled(true);
    cmdExit->setEnabled(true);
    if (ok) {
        lblState->setText(QStringLiteral("Ready"));
        tmrEnd->start();
    } else {
        lblState->setText(QStringLiteral("Copy failed"));
        MsgBox(error, vbExclamation | vbOKOnly, QString(), this);
    }
}

void FrmFileCopy::reject()
{
    close();
}

void FrmFileCopy::closeEvent(QCloseEvent* event)
{
    // No closing while a copy runs.
    if (!cmdExit->isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
}

FrmFileCopy* g_frmFileCopy()
{
    if (!windowRef()) {
        QWidget* owner = mainWindow() ? mainWindow()->Form() : nullptr;
        windowRef() = new FrmFileCopy(owner);
    }
    return windowRef();
}

bool g_frmFileCopyLoaded()
{
    return !windowRef().isNull();
}
