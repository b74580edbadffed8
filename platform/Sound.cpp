#include "platform/Sound.h"

#include <QApplication>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QPointer>
#include <QUrl>

namespace platform {
namespace {
SoundHandler& handlerRef()
{
    static SoundHandler h;
    return h;
}

QPointer<QMediaPlayer>& playerRef()
{
    static QPointer<QMediaPlayer> p;
    return p;
}

// One player for the whole run, owned by the application object.
QMediaPlayer* player()
{
    QPointer<QMediaPlayer>& p = playerRef();
    if (!p && QCoreApplication::instance()) {
        p = new QMediaPlayer(QCoreApplication::instance());
        auto* out = new QAudioOutput(p);
        p->setAudioOutput(out);
        QObject::connect(p, &QMediaPlayer::errorOccurred, p, [](QMediaPlayer::Error e, const QString&) {
            if (e != QMediaPlayer::NoError)
                QApplication::beep();
        });
    }
    return p;
}
} // namespace

SoundHandler setSoundHandler(SoundHandler handler)
{
    SoundHandler old = std::move(handlerRef());
    handlerRef() = std::move(handler);
    return old;
}

void playSoundAsync(const QString& file)
{
    if (handlerRef()) {
        handlerRef()({SoundRequest::Play, file});
        return;
    }
    QMediaPlayer* p = player();
    if (!p || !QFileInfo(file).isFile()) {
        QApplication::beep();
        return;
    }
    p->stop();
    p->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    p->play();
}

void stopSound()
{
    if (handlerRef()) {
        handlerRef()({SoundRequest::Stop, {}});
        return;
    }
    if (QMediaPlayer* p = playerRef().data(); p && p->playbackState() != QMediaPlayer::StoppedState)
        p->stop();
}

} // namespace platform
