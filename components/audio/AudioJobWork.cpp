#include "components/audio/AudioJobWork.h"

#include <QFileInfo>
#include <sys/stat.h>
#include <vector>

#include "components/audio/AudioJobErrors.h"
#include "components/audio/AudioSource.h"

namespace kvaudio {
namespace {

// True when both paths name the same file (also through links).
bool sameFile(const QString& a, const QString& b)
{
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int sourceErrorCode(int status)
{
    switch (status) {
    case SourceMissing: return ErrSourceMissing;
    case SourceUnreadable: return ErrSourceUnreadable;
    case SourceMislabelled: return ErrSourceMislabelled;
    case SourceTruncated: return ErrSourceTruncated;
    case SourceEmpty: return ErrSourceEmpty;
    default: return ErrSourceNotAudio;
    }
}

JobOutcome openSource(AudioSource& src, const QString& path)
{
    QString err;
    const int st = src.open(path, &err);
    if (st != SourceOk)
        return JobOutcome::error(sourceErrorCode(st), err);
    return JobOutcome();
}

// Opens a job's input; the job's own output file is refused before it is read.
JobOutcome openInput(AudioSource& src, const QString& path, const QString& output)
{
    if (sameFile(path, output))
        return JobOutcome::error(ErrOutputIsInput, QStringLiteral("The output file is the input file '%1'.")
                                                       .arg(QFileInfo(path).fileName()));
    return openSource(src, path);
}

// Completes the written output and hands it over, not yet in its place.
JobOutcome finishOutput(std::unique_ptr<AudioEncoder> enc)
{
    if (!enc->finish())
        return JobOutcome::error(enc->errorCode(), enc->errorText());
    JobOutcome ok;
    ok.output = std::move(enc);
    return ok;
}

// Copies a part of an open source into the encoder. start < 0 means from the
// beginning, length <= 0 to the end; a part reaching past the end stops there.
// report gets the percent of the part done.
JobOutcome copyPart(AudioSource& src, AudioEncoder& enc, int startSec, int lengthSec, JobContext& ctx,
                    const std::function<void(int)>& report)
{
    const int rate = src.outputRate();
    const int ch = src.outputChannels();
    const int64_t durationMs = src.info().durationMs;
    int64_t startMs = startSec > 0 ? int64_t(startSec) * 1000 : 0;
    if (startMs > 0) {
        if (durationMs > 0 && startMs >= durationMs)
            return JobOutcome::error(ErrRange, QStringLiteral("The range starts at %1 s, after the end of the file.")
                                                   .arg(startSec));
        if (!src.seekMs(startMs))
            return JobOutcome::error(ErrDecode, QStringLiteral("The file cannot be positioned at %1 s.").arg(startSec));
    }
    const int64_t limit = lengthSec > 0 ? int64_t(lengthSec) * rate : INT64_MAX;
    int64_t expected = limit;
    if (durationMs > 0)
        expected = qMin(expected, qMax<int64_t>(1, (durationMs - startMs) * rate / 1000));
    std::vector<float> buf(size_t(4096) * ch);
    int64_t done = 0;
    QString err;
    while (done < limit) {
        if (ctx.aborted())
            return JobOutcome::aborted();
        const int want = int(qMin<int64_t>(4096, limit - done));
        const int got = src.read(buf.data(), want, &err);
        if (got < 0)
            return JobOutcome::error(ErrDecode, err);
        if (got == 0)
            break;
        if (!enc.write(buf.data(), got))
            return JobOutcome::error(enc.errorCode(), enc.errorText());
        done += got;
        report(int(qBound<int64_t>(int64_t(0), done * 100 / qMax<int64_t>(1, expected), int64_t(100))));
    }
    if (done == 0)
        return JobOutcome::error(ErrRange, QStringLiteral("The chosen part of the file holds no audio."));
    return JobOutcome();
}

} // namespace

JobOutcome runConvert(const ConvertUnit& unit, JobContext& ctx)
{
    if (unit.output.isEmpty())
        return JobOutcome::error(ErrOutputPath, QStringLiteral("No output file is given."));
    AudioSource src;
    src.setInterruptFlag(ctx.abortFlag());
    if (JobOutcome opened = openInput(src, unit.input, unit.output); opened.kind != JobOutcome::Done)
        return opened;
    auto enc = std::make_unique<AudioEncoder>();
    if (!enc->open(unit.output, unit.settings, src.info().sampleRate, qMin(src.info().channels, 2)))
        return JobOutcome::error(enc->errorCode(), enc->errorText());
    if (ctx.aborted())
        return JobOutcome::aborted();
    JobOutcome part = copyPart(src, *enc, unit.ranged ? unit.rangeStart : 0, unit.ranged ? unit.rangeLength : 0, ctx,
                               [&](int pct) { ctx.progress(pct); });
    if (part.kind != JobOutcome::Done)
        return part;
    return finishOutput(std::move(enc));
}

JobOutcome runJoin(const JoinUnit& unit, JobContext& ctx)
{
    if (unit.entries.isEmpty())
        return JobOutcome::error(ErrNoJoinFiles, QStringLiteral("The join list is empty."));
    if (unit.output.isEmpty())
        return JobOutcome::error(ErrOutputPath, QStringLiteral("No output file is given."));
    // Every source is checked before anything is written.
    int rate = 0, channels = 1;
    for (const JoinEntry& e : unit.entries) {
        AudioSource probe;
        probe.setInterruptFlag(ctx.abortFlag());
        if (JobOutcome opened = openInput(probe, e.path, unit.output); opened.kind != JobOutcome::Done)
            return opened;
        if (rate == 0)
            rate = probe.info().sampleRate;
        channels = qMax(channels, qMin(probe.info().channels, 2));
        if (ctx.aborted())
            return JobOutcome::aborted();
    }
    auto enc = std::make_unique<AudioEncoder>();
    if (!enc->open(unit.output, unit.settings, rate, channels))
        return JobOutcome::error(enc->errorCode(), enc->errorText());
    for (int i = 0; i < unit.entries.size(); ++i) {
        const JoinEntry& e = unit.entries[i];
        AudioSource src;
        src.setInterruptFlag(ctx.abortFlag());
        if (JobOutcome opened = openSource(src, e.path); opened.kind != JobOutcome::Done)
            return opened;
        src.setOutputFormat(rate, channels);
        const bool whole = e.start == -1 && e.length == -1;
        JobOutcome part = copyPart(src, *enc, whole ? 0 : e.start, whole ? 0 : e.length, ctx,
                                   [&](int pct) { ctx.progress(i + 1, pct); });
        if (part.kind != JobOutcome::Done)
            return part;
    }
    return finishOutput(std::move(enc));
}

} // namespace kvaudio
