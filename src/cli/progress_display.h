#pragma once

#include <cstdio>
#include <string>

#include "text/status_codes.h"

namespace qv::cli {

// The text shown for a status code and percentage: the program's own status
// text ("Krzywa tonalna: 45%"), or the text with the percentage in brackets
// where it has no place for one ("Wczytywanie obrazu (45%)"). Empty for
// codes without text.
std::string statusLine(StatusCode code, int percent);

// The name of a step for a summary: the status text without its percentage
// ("Krzywa tonalna", "Wygładzanie 2-gi przebieg").
std::string stepName(StatusCode code);

// Shows the progress of a worker on standard error: a bar redrawn in place on
// a terminal, a plain line per step and quarter otherwise, or nothing.
class ProgressDisplay {
public:
    enum class Style { Bar, Lines, Silent };

    ProgressDisplay(Style style, std::FILE* out) : style_(style), out_(out) {}
    ~ProgressDisplay() { clear(); }
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // What the progress belongs to (shown before it), e.g. "[2/5] a.jpg".
    void setLabel(std::string label) { label_ = std::move(label); }
    // The worker's published status code and percentage.
    void update(StatusCode code, int percent);
    // Removes the bar, so that a message can follow on a clean line.
    void clear();
    // A line of its own, for anything but errors; shown unless silent.
    void note(const std::string& line);
    bool silent() const { return style_ == Style::Silent; }

private:
    Style style_;
    std::FILE* out_;
    std::string label_;
    bool barShown_ = false;
    StatusCode lastCode_ = StatusCode::None;
    int lastPercent_ = -1;
};

}  // namespace qv::cli
