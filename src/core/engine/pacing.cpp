#include "engine/pacing.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "report/pump.h"
#include "settings/application_core.h"

namespace {
constexpr int kSlowestBakWait = 3;
}

bool PaceStep(CApplicationCore& core)
{
    // A value out of range in a hand-edited settings file must not stall every step.
    const int n = std::clamp(core.Settings().general.BakWait, 0, kSlowestBakWait);
    const int iterations = n * n + 1;
    for (int i = 0; i < iterations; ++i) {
        if (i >= 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!PumpPendingMessages(core.Services())) {
            core.State().abortRequested = 1;
            return false;
        }
    }
    return true;
}

bool AbortKeysHeld(const CApplicationCore& core)
{
    const IKeyState* keys = core.Services().keys;
    return keys != nullptr && keys->AbortKeysHeld();
}
