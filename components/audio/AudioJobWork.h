#pragma once
// The work of a conversion unit and of a join, run on the job runner's worker
// thread. Internal to components/audio/.
#include <QString>
#include <QVector>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioJobRunner.h"

namespace kvaudio {

struct ConvertUnit {
    QString input, output;
    EncoderSettings settings;
    bool ranged = false;
    int rangeStart = 0, rangeLength = 0; // whole seconds
};

struct JoinEntry {
    QString path;
    int start = -1, length = -1; // -1, -1: the whole file
};

struct JoinUnit {
    QVector<JoinEntry> entries;
    QString output;
    EncoderSettings settings;
};

JobOutcome runConvert(const ConvertUnit& unit, JobContext& ctx);
JobOutcome runJoin(const JoinUnit& unit, JobContext& ctx);

} // namespace kvaudio
