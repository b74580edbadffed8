#include "components/audio/FFmpegUtil.h"

#include <mutex>

namespace kvaudio {

void initFFmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

QString ffErrorText(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

QByteArray ffFileUrl(const QString& path)
{
    return QByteArrayLiteral("file:") + path.toUtf8();
}

AVChannelLayout defaultLayout(int channels)
{
    AVChannelLayout l;
    av_channel_layout_default(&l, channels);
    return l;
}

} // namespace kvaudio
