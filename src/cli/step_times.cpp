#include "cli/step_times.h"

#include <algorithm>
#include <cstdio>

#include "cli/progress_display.h"

namespace qv::cli {

void StepTimes::observe(int code, Clock::time_point now)
{
    if (code == current_)
        return;
    stop(now);
    current_ = code;
    since_ = now;
}

void StepTimes::stop(Clock::time_point now)
{
    if (current_ < 0)
        return;
    const double seconds = std::chrono::duration<double>(now - since_).count();
    auto it = std::find_if(steps_.begin(), steps_.end(), [&](const Step& s) { return s.code == current_; });
    if (it == steps_.end())
        steps_.push_back({current_, seconds});
    else
        it->seconds += seconds;
    current_ = -1;
}

std::string StepTimes::report() const
{
    std::string text;
    for (const Step& step : steps_) {
        const std::string name = stepName(step.code);
        if (name.empty())
            continue;
        char line[160];
        std::snprintf(line, sizeof line, "  %-36s %7.2f s\n", name.c_str(), step.seconds);
        text += line;
    }
    return text;
}

}  // namespace qv::cli
