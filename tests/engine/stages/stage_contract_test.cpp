// What every pipeline stage promises, checked once for all of them: it
// refuses settings outside its range and then writes nothing, it fails when
// the run is aborted and leaves nothing that mars the next run, its result
// does not depend on the worker count, and its vector path gives the plain
// path's bits. Each stage is reached through its public run function; its
// traits below say how.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/kernels/simd.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/stages/color_noise_reduction/color_noise_reduction.h"
#include "engine/stages/detail/detail_extraction.h"
#include "engine/stages/final_output/final_output.h"
#include "engine/stages/light/light.h"
#include "engine/stages/merging/merging.h"
#include "engine/stages/region/region_detection.h"
#include "engine/stages/sharpening/sharpening.h"
#include "engine/stages/smoothing/smoothing.h"
#include "engine/stages/softening/softening.h"
#include "engine/stages/tone_curve/tone_curve.h"
#include "support/photo_planes.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "support/stage_image.h"

namespace qv {
namespace {

using test::Bytes;
using test::StageImage;

// A setting the stage must refuse, and the nearest one it must accept.
struct Refusal {
    const char* field;
    int refused;
    int accepted;
};

Refusal aboveRange(const char* field) { return {field, findToneField(field)->max + 1, findToneField(field)->max}; }
Refusal belowRange(const char* field) { return {field, findToneField(field)->min - 1, findToneField(field)->min}; }

template <class T>
Bytes bytesOf(const std::vector<T>& plane)
{
    Bytes bytes;
    test::appendBytes(bytes, plane.data(), plane.size());
    return bytes;
}

// What a stage's traits say: its name; the status it shows after a run and,
// where it publishes one before its checks, after a refusal (by default the
// same); the settings that switch it on (enable) and those it refuses; how
// it is run (with the first-run argument of the stages that keep a
// preparation between runs), and what it writes (result: by default the
// caller's luma plane).
template <StatusCode Status>
struct StageTraits {
    static constexpr StatusCode status = Status;
    static constexpr std::optional<StatusCode> refusalStatus = Status;
    static Bytes result(StageImage& i) { return bytesOf(i.out); }
};

struct Detail : StageTraits<StatusCode::Detail> {
    static constexpr const char* name = "Detail";
    static constexpr std::optional<StatusCode> refusalStatus = StatusCode::DetailSetup;
    static void enable(ToneSettings& s) { s.Details = 7; }
    static std::vector<Refusal> refusals() { return {aboveRange("Details")}; }
    static bool run(StageImage& i, bool)
    {
        return runDetailExtractionStage(i.ctx, i.state, i.state.luminancePlane(), i.out.data());
    }
};

// Strength 10 runs the second pass, which shows a status of its own.
struct Smoothing : StageTraits<StatusCode::Smoothing2> {
    static constexpr const char* name = "Smoothing";
    static constexpr std::optional<StatusCode> refusalStatus = StatusCode::Smoothing;
    static void enable(ToneSettings& s) { s.Smoothing = 10; }
    static std::vector<Refusal> refusals() { return {aboveRange("Smoothing"), {"Smoothing", 0, 1}}; }
    static bool run(StageImage& i, bool) { return runSmoothingStage(i.ctx, i.state, i.luma.data(), i.out.data()); }
};

struct ToneCurve : StageTraits<StatusCode::ToneCurve> {
    static constexpr const char* name = "ToneCurve";
    static constexpr std::optional<StatusCode> refusalStatus = std::nullopt;  // checks before it shows one
    static void enable(ToneSettings& s) { s.Contrast = 30; }
    static std::vector<Refusal> refusals() { return {aboveRange("Contrast")}; }
    static bool run(StageImage& i, bool first)
    {
        return runToneCurveStage(i.ctx, i.state, i.luma.data(), i.out.data(), first);
    }
};

struct Region : StageTraits<StatusCode::Region> {
    static constexpr const char* name = "Region";
    static constexpr std::optional<StatusCode> refusalStatus = std::nullopt;  // checks before it shows one
    static void enable(ToneSettings& s) { s.DetectSH = 3; }
    static std::vector<Refusal> refusals() { return {aboveRange("DetectSH")}; }
    static bool run(StageImage& i, bool)
    {
        return runRegionStage(i.ctx, i.state, i.state.luminancePlane(), i.out.data());
    }
};

struct Merging : StageTraits<StatusCode::Merging> {
    static constexpr const char* name = "Merging";
    static void enable(ToneSettings& s)
    {
        s.Mode = 2;
        s.Opacity = 70;
        s.Opacity2 = 35;
        s.GrayPoint = 43;
    }
    static std::vector<Refusal> refusals()
    {
        return {aboveRange("Mode"), {"Mode", 3, 2}, aboveRange("Opacity"), aboveRange("Opacity2"),
                aboveRange("GrayPoint")};
    }
    // The earlier stages' luma as the processed luma; the source luminance
    // as the area brightness, as without region detection.
    static bool run(StageImage& i, bool)
    {
        const MergeInputs in{i.state.luminancePlane(), i.state.luminancePlane(), i.luma.data(),
                             i.state.sourceChromaPlane(), *i.state.working};
        return runMergingStage(i.ctx, i.state, in);
    }
    static Bytes result(StageImage& i)
    {
        Bytes b;
        test::appendBytes(b, mergedLuma(i.state).data(), i.state.pixelCount());
        test::appendBytes(b, mergedChroma(i.state).data(), 2 * i.state.pixelCount());
        return b;
    }
};

struct ColorNR : StageTraits<StatusCode::ColorNR> {
    static constexpr const char* name = "ColorNR";
    static void enable(ToneSettings& s) { s.ColorNR = 6; }
    static std::vector<Refusal> refusals() { return {aboveRange("ColorNR"), {"ColorNR", 0, 1}}; }
    static bool run(StageImage& i, bool)
    {
        return runColorNoiseReductionStage(i.ctx, i.state, i.luma.data(), i.chroma.data(), i.outChroma.data());
    }
    static Bytes result(StageImage& i) { return bytesOf(i.outChroma); }
};

struct Softening : StageTraits<StatusCode::Softening> {
    static constexpr const char* name = "Softening";
    static void enable(ToneSettings& s) { s.Softness = 60; }
    static std::vector<Refusal> refusals() { return {aboveRange("Softness")}; }
    static bool run(StageImage& i, bool first)
    {
        return runSofteningStage(i.ctx, i.state, i.luma.data(), i.out.data(), first);
    }
};

struct Light : StageTraits<StatusCode::Light> {
    static constexpr const char* name = "Light";
    static void enable(ToneSettings& s) { s.Lightness = 55; }
    static std::vector<Refusal> refusals() { return {aboveRange("Lightness")}; }
    static bool run(StageImage& i, bool first)
    {
        return runLightStage(i.ctx, i.state, i.luma.data(), i.out.data(), first);
    }
    // The result and the light map it keeps for the next run.
    static Bytes result(StageImage& i)
    {
        Bytes b = bytesOf(i.out);
        test::appendBytes(b, i.state.lightMap.as<uint16_t>(), i.state.pixelCount());
        return b;
    }
};

struct Sharpening : StageTraits<StatusCode::Sharpening> {
    static constexpr const char* name = "Sharpening";
    static void enable(ToneSettings& s)
    {
        s.Sharpness = 150;
        s.SharpnessRadius = 9;
    }
    static std::vector<Refusal> refusals()
    {
        return {aboveRange("Sharpness"), aboveRange("SharpnessRadius"), belowRange("SharpnessRadius")};
    }
    static bool run(StageImage& i, bool) { return runSharpeningStage(i.ctx, i.state, i.luma.data(), i.out.data()); }
};

struct FinalOutput : StageTraits<StatusCode::FinalOutput> {
    static constexpr const char* name = "FinalOutput";
    static void enable(ToneSettings& s)
    {
        s.Gamma = 3;
        s.Saturation = 17;
    }
    static std::vector<Refusal> refusals() { return {aboveRange("Gamma"), aboveRange("Saturation")}; }
    static bool run(StageImage& i, bool)
    {
        return renderOutput(i.ctx, i.state, i.luma.data(), i.chroma.data(), *i.state.output);
    }
    // The output bitmap, the 48-bit result and the histograms.
    static Bytes result(StageImage& i)
    {
        Bytes b;
        for (int y = 0; y < i.state.height; ++y)
            test::appendBytes(b, i.state.output->row(y), 3 * static_cast<std::size_t>(i.state.width));
        test::appendBytes(b, resultBuffer(i.state).data(), 3 * i.state.pixelCount());
        test::appendBytes(b, &i.state.histograms, 1);
        return b;
    }
};

// A fresh image, by default of odd sizes and tall enough for twenty bands of
// the plain scheme and several of the queued one, with the stage on; the
// current luma is shaped like the detail plane every later stage works on.
template <class Stage>
struct ContractImage : StageImage {
    explicit ContractImage(int workers = 3, int width = 67, int height = 171) : StageImage(width, height)
    {
        luma = test::detailLikePlane(luma, state.width, state.height);
        Stage::enable(ctx.current);
        ctx.workerCount = workers;
    }
};

template <class Stage>
class StageContract : public ::testing::Test {
protected:
    using Image = ContractImage<Stage>;

    // What a first run on a fresh image writes.
    static Bytes freshResult(int workers = 3)
    {
        Image i(workers);
        EXPECT_TRUE(Stage::run(i, true));
        EXPECT_EQ(i.ctx.statusCode.load(), Stage::status);
        return Stage::result(i);
    }
};

// The stages with a vector path.
template <class Stage>
class VectorStageContract : public StageContract<Stage> {};

struct StageNames {
    template <class Stage>
    static std::string GetName(int) { return Stage::name; }
};
using Stages =
    ::testing::Types<Detail, Smoothing, ToneCurve, Region, Merging, ColorNR, Softening, Light, Sharpening, FinalOutput>;
TYPED_TEST_SUITE(StageContract, Stages, StageNames);
using VectorStages =
    ::testing::Types<Detail, Smoothing, ToneCurve, Region, ColorNR, Softening, Light, Sharpening, FinalOutput>;
TYPED_TEST_SUITE(VectorStageContract, VectorStages, StageNames);

TYPED_TEST(StageContract, RefusesSettingsOutOfRangeAndWritesNothing)
{
    for (const Refusal& r : TypeParam::refusals()) {
        SCOPED_TRACE(std::string(r.field) + " " + std::to_string(r.refused));
        typename TestFixture::Image i;
        const Bytes untouched = TypeParam::result(i);
        uint16_t& value = i.ctx.current.*findToneField(r.field)->member;
        value = static_cast<uint16_t>(r.refused);
        i.ctx.statusCode = StatusCode::None;
        i.ctx.percent = 40;
        for (bool inputChanged : {true, false})
            EXPECT_FALSE(TypeParam::run(i, inputChanged));
        if (TypeParam::refusalStatus) {
            EXPECT_EQ(i.ctx.statusCode.load(), *TypeParam::refusalStatus);
            EXPECT_EQ(i.ctx.percent.load(), 0);
        }
        EXPECT_TRUE(test::sameBytes(TypeParam::result(i), untouched));
        value = static_cast<uint16_t>(r.accepted);
        EXPECT_TRUE(TypeParam::run(i, true));
    }
}

// A closed image: no planes, no size.
TYPED_TEST(StageContract, RefusesAnImageWithoutPlanes)
{
    typename TestFixture::Image i;
    auto working = std::move(i.state.working);
    auto output = std::move(i.state.output);
    i.state.reset();
    i.state.working = std::move(working);
    i.state.output = std::move(output);
    EXPECT_FALSE(TypeParam::run(i, true));
}

// Aborted before it starts, with either first-run argument: the stage fails.
// Aborted at moments spread over the time a run takes (on a larger image,
// so that the moments fall into the workers' loops): it fails or, where the
// abort came too late to matter, gives the whole result; never a part of it
// reported as success. Either way the next run gives the whole result.
TYPED_TEST(StageContract, AbortFailsTheStageAndLeavesNothingForTheNextRun)
{
    using Clock = std::chrono::steady_clock;
    typename TestFixture::Image fresh(3, 401, 301);
    ASSERT_TRUE(TypeParam::run(fresh, true));
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(TypeParam::run(fresh, true));
    const Clock::duration runTime = Clock::now() - start;
    const Bytes whole = TypeParam::result(fresh);

    typename TestFixture::Image i(3, 401, 301);
    i.state.abort = true;
    for (bool inputChanged : {true, false})
        EXPECT_FALSE(TypeParam::run(i, inputChanged));
    for (int eighths = 0; eighths < 8; ++eighths) {
        i.state.abort = false;
        i.ctx.statusCode = StatusCode::None;
        std::thread aborter([&] {
            while (i.ctx.statusCode.load() == StatusCode::None)
                std::this_thread::yield();
            const Clock::time_point at = Clock::now() + runTime * eighths / 8;
            while (Clock::now() < at)
                std::this_thread::yield();
            i.state.abort = true;
        });
        const bool finished = TypeParam::run(i, true);
        aborter.join();
        if (finished) {
            EXPECT_TRUE(test::sameBytes(TypeParam::result(i), whole)) << "aborted after " << eighths << "/8 of a run";
        }
    }
    i.state.abort = false;
    ASSERT_TRUE(TypeParam::run(i, true));
    EXPECT_TRUE(test::sameBytes(TypeParam::result(i), whole));
}

TYPED_TEST(StageContract, ResultDoesNotDependOnTheWorkerCount)
{
    const Bytes single = this->freshResult(1);
    for (int workers : {2, 4, 7, 20})
        EXPECT_TRUE(test::sameBytes(this->freshResult(workers), single)) << workers << " workers";
}

TYPED_TEST(VectorStageContract, VectorPathGivesThePlainBits)
{
    Bytes plain;
    {
        test::SimdSwitch off(false);
        plain = this->freshResult();
    }
    if (!avx2Enabled())
        GTEST_SKIP() << "no AVX2 here: only the plain path ran";
    EXPECT_TRUE(test::sameBytes(this->freshResult(), plain));
}

}  // namespace
}  // namespace qv
