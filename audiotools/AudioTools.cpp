#include "audiotools/AudioTools.h"

#include "audiotools/ConverterJob.h"

void InstallAudioTools()
{
    setConverterWindowFactory([]() -> FrmConverter* { return new ConverterJobWindow(nullptr); });
}
