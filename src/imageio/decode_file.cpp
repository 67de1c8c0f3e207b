#include "imageio/decode_file.h"

#include <span>

#include "imageio/codec_decoder.h"
#include "imageio/image_io_context.h"
#include "imageio/raw_decoder.h"
#include "imageio/tiff16_decoder.h"
#include "settings/file_checks.h"
#include "text/failure_text.h"

namespace qv {

namespace {

using Decoder = DecodeResult (*)(const DecodeJob&, SourcePair&);

constexpr Decoder kCodecOnly[] = {decodeWithCodec};
// The RAW decoder recognises its files by content, so the order matters:
// 16-bit TIFF files must reach the TIFF reader before LibRaw sees them.
constexpr Decoder kAllDecoders[] = {decodeTiff16, decodeRaw, decodeWithCodec};

std::span<const Decoder> decodersFor(const std::string& path)
{
    const std::string extension = fileExtension(path);
    if (extension == "jpg" || extension == "jpeg")
        return kCodecOnly;
    return kAllDecoders;
}

}  // namespace

std::string fileExtension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

bool decodeFile(const std::string& path, ImageIoContext& ctx, const std::atomic<bool>& abort, SourcePair& pair,
                ProgressRange range)
{
    ctx.statusText.set(path);
    ctx.errorText.clear();
    pair.release();
    // Only a plain file with something in it goes to the decoders: each of
    // them opens the file anew, which would wait forever on a pipe.
    if (const int error = inputFileError(path); error != 0) {
        ctx.percent.store(0, std::memory_order_relaxed);
        ctx.errorText = failureLine(kLoadErrorText, path, failureReason(error));
        return false;
    }
    const DecodeJob job{path, ctx, abort, range};
    DecodeResult result = DecodeResult::notThisFormat();
    for (Decoder decoder : decodersFor(path)) {
        result = decoder(job, pair);
        if (result.status != DecodeStatus::NotThisFormat)
            break;
    }
    if (result.status == DecodeStatus::Decoded)
        return true;
    pair.release();
    if (result.status == DecodeStatus::NotThisFormat) {
        ctx.percent.store(0, std::memory_order_relaxed);
        ctx.errorText = failureLine(kUnknownFormatText, path, {});
    } else if (!abort.load(std::memory_order_relaxed)) {
        // After an abort the text stays empty: the one who aborted knows why.
        // A TIFF whose samples no decoder reads says so rather than that
        // it is damaged; a failure without a word is taken for damage.
        std::string reason = unreadableTiffSamples(path);
        if (reason.empty())
            reason = result.reason.empty() ? std::string(kDamagedReason) : std::move(result.reason);
        ctx.errorText = failureLine(kLoadErrorText, path, reason);
    }
    return false;
}

}  // namespace qv
