#include "cli/step_times.h"

#include <algorithm>
#include <cstdio>

#include "cli/progress_display.h"

namespace qv::cli {

namespace {
constexpr long kNameWidth = 36;
}

void StepTimes::observe(StatusCode code, Clock::time_point now)
{
    if (code == current_)
        return;
    stop(now);
    current_ = code;
    since_ = now;
}

void StepTimes::stop(Clock::time_point now)
{
    if (current_ == StatusCode::None)
        return;
    const double seconds = std::chrono::duration<double>(now - since_).count();
    auto it = std::find_if(steps_.begin(), steps_.end(), [&](const Step& s) { return s.code == current_; });
    if (it == steps_.end())
        steps_.push_back({current_, seconds});
    else
        it->seconds += seconds;
    current_ = StatusCode::None;
}

std::string StepTimes::report() const
{
    std::string text;
    for (const Step& step : steps_) {
        const std::string name = stepName(step.code);
        if (name.empty())
            continue;
        // Padded by letters, not bytes, so that Polish names line up.
        const long letters = std::count_if(name.begin(), name.end(), [](char c) { return (c & 0xC0) != 0x80; });
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%7.2f s\n", step.seconds);
        text.append("  ").append(name).append(static_cast<std::size_t>(std::max(1L, kNameWidth - letters)), ' ');
        text += seconds;
    }
    return text;
}

}  // namespace qv::cli
