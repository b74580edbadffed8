// A tag write in a process of its own, for the tests that kill it part way:
//   tag_write_probe <file> <change> <step>
// change: "titles" (a new title in both tags), "grow" (the ID3v2 tag outgrows
// its space), "v2" (a new ID3v2 title only) or "v1" (a new ID3v1 title only).
// With step > 0 the process kills itself (SIGKILL) when the write reaches that
// step; with 0 it writes to the end and prints "steps <n>". It prints
// "writing" just before the write starts.
#include <QString>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tags/TagChange.h"
#include "tags/TagUpdate.h"
#include "tags/cMP3ID3v1.h"
#include "tags/cMP3ID3v2.h"

namespace {
long g_steps = 0;
long g_killAt = 0;

void countStep()
{
    ++g_steps;
    if (g_killAt > 0 && g_steps == g_killAt)
        std::raise(SIGKILL);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const char* change = argv[2];
    g_killAt = std::atol(argv[3]);

    cMP3ID3v1 v1;
    cMP3ID3v2 v2;
    const bool withV1 = std::strcmp(change, "v2") != 0;
    const bool withV2 = std::strcmp(change, "v1") != 0;
    if ((withV1 && !v1.setMP3File(path)) || (withV2 && !v2.setMP3File(path)))
        return 3;
    v1.setTitle(QStringLiteral("New v1 title"));
    v2.setTitle(QStringLiteral("New v2 title"));
    if (std::strcmp(change, "grow") == 0)
        v2.setLyrics(QString(6000, QLatin1Char('g')));

    tagio::setStepHook(&countStep);
    std::printf("writing\n");
    std::fflush(stdout);
    const TagError e = tagio::updateTags(withV1 ? &v1 : nullptr, withV2 ? &v2 : nullptr);
    if (e.isError()) {
        std::fprintf(stderr, "%s(%d)\n", qPrintable(e.Description), e.Number);
        return 1;
    }
    std::printf("steps %ld\n", g_steps);
    return 0;
}
