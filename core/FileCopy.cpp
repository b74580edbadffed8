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
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

QString osError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

bool CopyWholeFile(const QString& source, const QString& destination,
                   const std::function<bool(qint64 copied, qint64 size)>& step, QString* why)
{
    auto fail = [why](const QString& text) {
        if (why)
            *why = text;
        return false;
    };
    Fd in;
    // Not blocking: a FIFO in the source's place must not hang the open.
    in.fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0)
        return fail("The file could not be read:\r\n" + source + "\r\n" + osError());
    if (!S_ISREG(st.st_mode))
        return fail("The file to copy is not a regular file:\r\n" + source);
    if (destination.isEmpty())
        return fail(QStringLiteral("No file to copy to."));
    if (SameFile(source, destination))
        return fail("A file cannot be copied onto itself:\r\n" + destination);
    ::posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    const QFileInfo dest(destination);
    QString part;
    Fd out;
    for (int attempt = 0; out.fd < 0 && attempt < 100; ++attempt) {
        part = dest.absolutePath() + "/." + dest.fileName() + "." +
               QString::number(QRandomGenerator::global()->generate(), 16) + ".part";
        out.fd = ::open(QFile::encodeName(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out.fd < 0 && errno != EEXIST)
            break;
    }
    if (out.fd < 0)
        return fail("The file could not be created:\r\n" + destination + "\r\n" + osError());
    auto abandon = [&](const QString& text) {
        ::unlink(QFile::encodeName(part).constData());
        return fail(text);
    };

    // The file's size at the start bounds the copy: a file that keeps
    // growing cannot keep it going, and one that changed fails it below.
    constexpr qint64 kStep = 8 << 20;
    const qint64 size = st.st_size;
    qint64 copied = 0;
    bool inKernel = true;
    std::unique_ptr<char[]> buffer;
    while (copied < size) {
        const qint64 want = std::min(kStep, size - copied);
        ssize_t n = -1;
        if (inKernel) {
            n = ::copy_file_range(in.fd, nullptr, out.fd, nullptr, size_t(want), 0);
            // Not between these files (older kernels, other file systems): through a buffer.
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                inKernel = false;
                continue;
            }
        } else {
            if (!buffer)
                buffer.reset(new char[1 << 20]);
            n = ::read(in.fd, buffer.get(), size_t(std::min<qint64>(want, 1 << 20)));
            for (ssize_t done = 0; n > 0 && done < n;) {
                const ssize_t w = ::write(out.fd, buffer.get() + done, size_t(n - done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    return abandon("The file could not be written:\r\n" + destination + "\r\n" + osError());
                done += w;
            }
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return abandon("The file could not be copied:\r\n" + source + "\r\n" + osError());
        if (n == 0)
            break;
        copied += n;
        if (step && !step(copied, size))
            return abandon(QStringLiteral("The copy was stopped."));
    }
    struct stat after {};
    if (::fstat(in.fd, &after) != 0 || copied != size || after.st_size != size ||
        after.st_mtim.tv_sec != st.st_mtim.tv_sec || after.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
        return abandon("The file changed while it was copied:\r\n" + source);
    if (::close(out.fd) != 0) {
        out.fd = -1;
        return abandon("The file could not be written:\r\n" + destination + "\r\n" + osError());
    }
    out.fd = -1;
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(destination).constData()) != 0)
        return abandon("The file could not be written:\r\n" + destination + "\r\n" + osError());
    return true;
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
