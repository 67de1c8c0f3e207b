#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "codec/codec.h"
#include "imaging/bitmap.h"
#include "text/failure_text.h"
#include "text/string_table.h"

namespace qv {

struct ImageIoContext;

// The texts a failed load leaves for the window, besides kLoadErrorText.
inline constexpr const char* kUnknownFormatText = text::k140;
// The reason a decoder gives for a file whose data is cut short or corrupt.
inline constexpr const char* kDamagedReason = "plik jest uszkodzony lub ucięty";

// Every decoder refuses pictures smaller than this in either direction.
inline constexpr int kMinImageSide = 16;
// Larger pictures are refused as out of memory before anything is allocated
// (the pair alone takes 9 bytes per pixel, the pipeline several times more).
inline constexpr long long kMaxSourcePixels = codec::kMaxDecodedPixels;

// The reasons for a picture outside those bounds, with its size and the limit.
std::string tooSmallReason(int64_t width, int64_t height);
std::string tooLargeReason(int64_t width, int64_t height);

// The two bitmaps of one decoded picture: 8-bit and 16-bit blue, green, red.
// The 8-bit values are the high bytes of the 16-bit ones, or the 16-bit
// values are the 8-bit ones shifted left by 8.
struct SourcePair {
    std::unique_ptr<Bitmap> image8;
    std::unique_ptr<Bitmap> image16;

    void release()
    {
        image8.reset();
        image16.reset();
    }
};

// The three answers of a decoder.
enum class DecodeStatus {
    Failed,         // taken but failed or aborted; the pair is empty
    NotThisFormat,  // not this decoder's file; nothing created
    Decoded,        // both bitmaps hold the picture; size and depth published
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Failed;
    // Why a decode failed, in the program's words ("plik jest pusty"); empty
    // after an abort and where the decoder cannot tell.
    std::string reason;

    static DecodeResult decoded() { return {DecodeStatus::Decoded, {}}; }
    static DecodeResult notThisFormat() { return {DecodeStatus::NotThisFormat, {}}; }
    static DecodeResult failed(std::string reason = {}) { return {DecodeStatus::Failed, std::move(reason)}; }
};

// The share of the progress bar that one file fills.
struct ProgressRange {
    int start = 0;
    int end = 100;

    // start + (end - start) * done / total, in unsigned arithmetic with each
    // division truncating, done / total taken as a whole percentage first.
    int at(uint64_t done, uint64_t total) const
    {
        const uint64_t percent = done * 100 / total;
        return start + static_cast<int>(percent * static_cast<unsigned>(end - start) / 100);
    }
};

// What a decoder is given: the file, the context to publish progress, size
// and depth in, and the abort flag tested between rows.
struct DecodeJob {
    const std::string& path;
    ImageIoContext& context;
    const std::atomic<bool>& abort;
    ProgressRange range;

    bool aborted() const { return abort.load(std::memory_order_relaxed); }
    void publishPercent(int percent) const;

    // Creates both bitmaps for a size of at least one pixel. Empty when they
    // were created; otherwise the failure with its reason (too large beyond
    // kMaxSourcePixels, else out of memory), nothing allocated. Takes the
    // size as the file declares it, however large.
    std::optional<DecodeResult> allocate(SourcePair& pair, int64_t width, int64_t height) const;
    // Releases the pair and answers failure for `reason`.
    DecodeResult fail(SourcePair& pair, std::string reason = {}) const;
    // The last step of every decoder: an abort releases the pair and fails,
    // otherwise size and bit depth (24 or 48) are published.
    DecodeResult finish(SourcePair& pair, int bitDepth) const;
};

// The pixels of both bitmaps that one line of a file fills: the first at
// (x, y), each next one (dx, dy) further on, `length` in all. A line stored
// upright is a row; a turned one runs along a column or backwards.
struct PixelRun {
    int x = 0;
    int y = 0;
    int dx = 1;
    int dy = 0;
    int length = 0;
};

// Stores one channel of a run of both bitmaps from every `step`-th sample:
// 16-bit samples give their value and its high byte, 8-bit samples their
// value shifted left by 8 and the value itself. channel 0 is blue, 2 red.
// The run must lie inside the bitmaps.
void storeChannel(SourcePair& pair, const PixelRun& run, int channel, const uint16_t* samples, int step);
void storeChannel(SourcePair& pair, const PixelRun& run, int channel, const uint8_t* samples, int step);
// The same for the whole row y.
void storeChannel(SourcePair& pair, int y, int channel, const uint16_t* samples, int step);
void storeChannel(SourcePair& pair, int y, int channel, const uint8_t* samples, int step);

}  // namespace qv
