#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "text/status_codes.h"

namespace qv::cli {

// Time spent in each published status code, measured at the moments the
// waiting thread polls (so to within one polling interval).
class StepTimes {
public:
    using Clock = std::chrono::steady_clock;

    // The worker shows `code` now.
    void observe(StatusCode code, Clock::time_point now = Clock::now());
    // Ends the step shown last.
    void stop(Clock::time_point now = Clock::now());

    struct Step {
        StatusCode code;
        double seconds;
    };
    // Steps in the order they first appeared; a code seen twice adds up.
    const std::vector<Step>& steps() const { return steps_; }
    // One line per step: name and seconds.
    std::string report() const;

private:
    std::vector<Step> steps_;
    StatusCode current_ = StatusCode::None;  // none: no step shown
    Clock::time_point since_{};
};

}  // namespace qv::cli
