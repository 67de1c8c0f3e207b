#include "cli/progress_display.h"

#include <algorithm>

#include "text/status_text.h"

namespace qv::cli {

namespace {

constexpr int kBarWidth = 24;
constexpr int kLineStep = 25;  // plain lines: one per step and per quarter

// The program shows no status text while it prepares the working image; its
// progress dialog calls that step "Obliczenia wstępne".
const char* textOf(StatusCode code)
{
    return code == StatusCode::Preparing ? "Obliczenia wstępne" : text::statusText(code);
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

}  // namespace

std::string statusLine(StatusCode code, int percent)
{
    const std::string text = textOf(code);
    if (text.empty())
        return {};
    const std::string number = std::to_string(percent);
    if (text.find("%d") == std::string::npos)
        return text + " (" + number + "%)";
    return replaceAll(replaceAll(text, "%d", number), "%%", "%");
}

std::string stepName(StatusCode code)
{
    return replaceAll(replaceAll(textOf(code), ": %d%%", ""), "%d%%", "");
}

void ProgressDisplay::update(StatusCode code, int percent)
{
    percent = std::clamp(percent, 0, 100);
    const std::string line = statusLine(code, percent);
    if (style_ == Style::Silent || line.empty())
        return;
    if (style_ == Style::Lines) {
        if (code == lastCode_ && percent / kLineStep <= lastPercent_ / kLineStep)
            return;
        std::fprintf(out_, "%s%s\n", label_.empty() ? "" : (label_ + "  ").c_str(), line.c_str());
    } else {
        if (code == lastCode_ && percent == lastPercent_)
            return;
        const int filled = percent * kBarWidth / 100;
        const std::string bar = std::string("[").append(filled, '#').append(kBarWidth - filled, '.').append("]");
        // Carriage return and erase-to-end-of-line redraw the bar in place.
        std::fprintf(out_, "\r%s%s %3d%%  %s\033[K", label_.empty() ? "" : (label_ + "  ").c_str(), bar.c_str(),
                     percent, line.c_str());
        barShown_ = true;
    }
    std::fflush(out_);
    lastCode_ = code;
    lastPercent_ = percent;
}

void ProgressDisplay::clear()
{
    if (barShown_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
        barShown_ = false;
    }
    lastCode_ = StatusCode::None;
    lastPercent_ = -1;
}

void ProgressDisplay::note(const std::string& line)
{
    if (style_ == Style::Silent)
        return;
    clear();
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

}  // namespace qv::cli
