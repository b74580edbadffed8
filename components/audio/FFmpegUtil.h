#pragma once
// Small helpers shared by the FFmpeg-based readers and writers. Internal to
// components/audio/: include only from .cpp files.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}
#include <QString>

namespace kvaudio {

// Quietens FFmpeg's own log once per process: damaged files would flood stderr.
void initFFmpeg();
QString ffErrorText(int err);
// A path as FFmpeg's file protocol takes it, so that no name is read as a URL.
QByteArray ffFileUrl(const QString& path);
// The default layout for a channel count, for streams that name none.
AVChannelLayout defaultLayout(int channels);

} // namespace kvaudio
