#include "cli/progress_display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "cli/step_times.h"
#include "text/status_codes.h"

namespace qv::cli {
namespace {

TEST(StatusLine, UsesTheProgramsTextsWithThePercentage)
{
    EXPECT_EQ(statusLine(StatusCode::ToneCurve, 45), "Krzywa tonalna: 45%");
    EXPECT_EQ(statusLine(StatusCode::Smoothing2, 7), "Wygładzanie: 7% 2-gi przebieg");
    EXPECT_EQ(statusLine(StatusCode::Loading, 30), "Wczytywanie obrazu (30%)");
    EXPECT_EQ(statusLine(StatusCode::Preparing, 12), "Obliczenia wstępne (12%)");
    EXPECT_EQ(statusLine(StatusCode::RunEnded, 100), "");
    EXPECT_EQ(stepName(StatusCode::Smoothing2), "Wygładzanie 2-gi przebieg");
    EXPECT_EQ(stepName(StatusCode::Light), "Światło");
    EXPECT_EQ(stepName(StatusCode::DetailSetup), "Przygotowanie...");
}

// What a display wrote into a memory file.
class Captured {
public:
    Captured() : file_(std::tmpfile(), &std::fclose) {}
    std::FILE* file() { return file_.get(); }
    std::string text()
    {
        std::fflush(file_.get());
        std::rewind(file_.get());
        std::string out;
        for (int c; (c = std::fgetc(file_.get())) != EOF;)
            out += static_cast<char>(c);
        return out;
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

TEST(ProgressDisplay, PlainLinesComeOncePerStepAndQuarter)
{
    Captured out;
    {
        ProgressDisplay display(ProgressDisplay::Style::Lines, out.file());
        display.setLabel("[1/2] a.jpg");
        for (int p : {0, 10, 24, 25, 60, 10, 100})
            display.update(StatusCode::Detail, p);
        display.update(StatusCode::RunEnded, 100);
        display.update(StatusCode::Saving, 100);
    }
    EXPECT_EQ(out.text(), "[1/2] a.jpg  Przetwarzanie: 0%\n"
                          "[1/2] a.jpg  Przetwarzanie: 25%\n"
                          "[1/2] a.jpg  Przetwarzanie: 60%\n"
                          "[1/2] a.jpg  Przetwarzanie: 100%\n"
                          "[1/2] a.jpg  Zapisywanie obrazu (100%)\n");
}

TEST(ProgressDisplay, TheBarIsRedrawnInPlaceAndClearedForAMessage)
{
    Captured out;
    ProgressDisplay display(ProgressDisplay::Style::Bar, out.file());
    display.update(StatusCode::Region, 50);
    display.update(StatusCode::Region, 50);  // nothing new
    display.note("Zapisano");
    const std::string text = out.text();
    EXPECT_EQ(text, "\r[############............]  50%  Detekcja obszarów: 50%\033[K\r\033[KZapisano\n");
}

TEST(ProgressDisplay, SilentShowsNothing)
{
    Captured out;
    {
        ProgressDisplay display(ProgressDisplay::Style::Silent, out.file());
        display.update(StatusCode::Detail, 50);
        display.note("Zapisano");
    }
    EXPECT_EQ(out.text(), "");
}

TEST(StepTimes, AddsUpTheTimeOfEachCodeInOrderOfFirstSight)
{
    using namespace std::chrono;
    const StepTimes::Clock::time_point t0{};
    StepTimes times;
    times.observe(StatusCode::Loading, t0);
    times.observe(StatusCode::Loading, t0 + milliseconds(100));
    times.observe(StatusCode::Detail, t0 + milliseconds(300));
    times.observe(StatusCode::Loading, t0 + milliseconds(1300));
    times.stop(t0 + milliseconds(1400));
    ASSERT_EQ(times.steps().size(), 2u);
    EXPECT_EQ(times.steps()[0].code, StatusCode::Loading);
    EXPECT_NEAR(times.steps()[0].seconds, 0.4, 1e-9);
    EXPECT_NEAR(times.steps()[1].seconds, 1.0, 1e-9);
    EXPECT_NE(times.report().find("Przetwarzanie"), std::string::npos);
}

}  // namespace
}  // namespace qv::cli
