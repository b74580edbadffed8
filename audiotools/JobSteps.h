#pragma once
// Moved to the tool window frame, where the CD tools share it too.
#include "toolframe/JobSteps.h"
