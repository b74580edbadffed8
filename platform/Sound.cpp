#include "platform/Sound.h"

#include <QApplication>

namespace platform {
namespace {
SoundHandler& handlerRef()
{
    static SoundHandler h;
    return h;
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
    // Nothing to play through: the desktop's own sound at least.
    QApplication::beep();
}

void stopSound()
{
    if (handlerRef())
        handlerRef()({SoundRequest::Stop, {}});
}

} // namespace platform
