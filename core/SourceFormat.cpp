#include "core/SourceFormat.h"

#include "components/audio/cAudioConverter.h"

SourceFormat ReadSourceFormat(const QString& path)
{
    SourceFormat f;
    cAudioConverter reader;
    f.status = reader.OpenSourceFile(path);
    if (f.ok()) {
        f.sampleRate = reader.SampleRate();
        f.channels = reader.Channels();
        f.bitsPerSample = reader.BitsPerSample();
    }
    reader.CloseSourceFile();
    return f;
}
