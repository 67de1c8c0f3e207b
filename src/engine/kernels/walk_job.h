#pragma once

#include <utility>
#include <vector>

#include "engine/kernels/walk_method.h"
#include "engine/pipeline/allocation.h"
#include "engine/pipeline/stage_runner.h"
#include "settings/tone_settings.h"

namespace qv {

// Sides beyond this are refused by the walking stages: offsets and counts
// are sized for it.
inline constexpr int kMaxWalkSide = 65535;

inline bool walkSizeFits(int width, int height)
{
    return width >= 1 && height >= 1 && width <= kMaxWalkSide && height <= kMaxWalkSide;
}

// Whether a walking stage's strength setting `strength` is on (not 0) and
// within its field's range, and the value scale 256..65536, which the
// tolerances are derived from.
inline bool walkSettingsUsable(const ToneSettings& settings, uint16_t ToneSettings::*strength, int valueScale)
{
    return settings.*strength != 0 && inFieldRange(settings, strength) && valueScale >= 256 && valueScale <= 65536;
}

// What every work item of a walking stage shares, read-only while the
// workers run: the run's parameters, the walk method and the plane size.
// A stage derives its job from this, adding its planes and tables.
template <class Params>
struct WalkJob {
    Params params{};
    WalkMethod method = WalkMethod::Literal;
    int width = 0;
    int height = 0;

    // Sets the shared fields and runs `build`, which sizes the stage's
    // tables; false when memory does not suffice.
    template <class Build>
    bool prepare(const Params& p, WalkMethod m, int w, int h, Build&& build)
    {
        params = p;
        method = m;
        width = w;
        height = h;
        return allocationSucceeds(std::forward<Build>(build));
    }
};

template <class Job>
struct JobItem : WorkItem {
    const Job* job = nullptr;
};

// One item of `job` per band.
template <class Job>
std::vector<JobItem<Job>> jobItems(const std::vector<Band>& bands, const Job& job, int valueScale)
{
    auto items = makeWorkItems<JobItem<Job>>(bands, job.width, job.height, valueScale);
    for (JobItem<Job>& item : items)
        item.job = &job;
    return items;
}

}  // namespace qv
