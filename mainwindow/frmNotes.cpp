#include "mainwindow/frmNotes.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include "components/controls/cStatusBar.h"
#include "core/MainWindowServices.h"
#include "core/TextFiles.h"
#include "core/TwipsGeometry.h"
#include "core/WindowHelpers.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

namespace {
QPointer<FrmNotes>& ref()
{
    static QPointer<FrmNotes> p;
    return p;
}
} // namespace

QString NotesFilePath() { return AppPath() + "/Notes"; }

FrmNotes::FrmNotes(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName("g_frmNotes");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Notes"));
    QFont f = font();
    f.setPointSizeF(8.25);
    setFont(f);
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName("Text1");
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    twips::setWidth(this, 6000);
    twips::setHeight(this, 4500);
}

void FrmNotes::PlaceOver(QWidget* owner)
{
    if (!owner)
        return;
    // Kept above its owner by the window manager, and centred on it, with the
    // title bar on the screen so the window can always be moved and closed.
    winId();
    if (QWindow* own = owner->window()->windowHandle())
        windowHandle()->setTransientParent(own);
    const QRect area = owner->frameGeometry();
    QRect r(QPoint(0, 0), frameGeometry().size());
    r.moveCenter(area.center());
    if (const QScreen* screen = owner->screen())
        r = KeepInside(r, screen->availableGeometry());
    move(r.topLeft());
}

void FrmNotes::Form_Load()
{
    twips::setLeft(Text1, 0);
    twips::setTop(Text1, 0);
    const QString path = NotesFilePath();
    if (!QFileInfo::exists(path)) {
        // Opening creates the file, empty.
        QFile create(path);
        create.open(QIODevice::WriteOnly);
        m_loaded = true;
        return;
    }
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = f.readAll();
    if (f.error() != QFile::NoError)
        return;
    // Line by line, each line followed by CR LF; the last CR LF is dropped.
    QString text = QString::fromUtf8(data);
    if (text.endsWith('\n'))
        text.chop(1);
    QString buffer;
    if (!data.isEmpty()) {
        for (QString line : text.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            buffer += line + "\r\n";
        }
    }
    if (buffer.size() > 2)
        Text1->setPlainText(buffer.left(buffer.size() - 2).replace("\r\n", "\n"));
    m_loaded = true;
}

void FrmNotes::Form_Resize()
{
    const QSize outer = frameGeometry().size();
    twips::setWidth(Text1, outer.width() * 15 - 100);
    twips::setHeight(Text1, outer.height() * 15 - 500);
}

bool FrmNotes::Form_Unload()
{
    // The whole text and one CR LF, replacing the file in one step.
    QString error;
    if (m_loaded && !WriteTextFile(Text1->toPlainText().replace('\n', "\r\n"), NotesFilePath(), &error)) {
        MsgBox(QStringLiteral("The notes could not be saved to ") + NotesFilePath() + QStringLiteral(": ") + error +
                   QStringLiteral("\r\n\r\nThe notes window stays open with your text."),
               vbExclamation | vbOKOnly, QString(), this);
        return false;
    }
    if (MainWindowServices* w = mainWindow(); w && w->cStatusBar1)
        w->cStatusBar1->setPanelText(QStringLiteral("Notes"), w->GetNotesToStatus());
    return true;
}

void FrmNotes::closeEvent(QCloseEvent* e)
{
    if (!Form_Unload()) {
        e->ignore();
        return;
    }
    QWidget::closeEvent(e);
}

void FrmNotes::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    Form_Resize();
}

FrmNotes* g_frmNotes()
{
    if (!ref()) {
        ref() = new FrmNotes;
        ref()->Form_Load();
    }
    return ref();
}

bool g_frmNotesLoaded() { return !ref().isNull(); }
