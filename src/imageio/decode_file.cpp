#include "imageio/decode_file.h"

#include <span>

#include "engine/pipeline/processing_context.h"
#include "imageio/codec_decoder.h"
#include "imageio/raw_decoder.h"
#include "imageio/tiff16_decoder.h"

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

bool decodeFile(const std::string& path, ProcessingContext& ctx, const std::atomic<bool>& abort, SourcePair& pair,
                ProgressRange range)
{
    ctx.statusText.set(path);
    const DecodeJob job{path, ctx, abort, range};
    DecodeResult result = kNotThisFormat;
    for (Decoder decoder : decodersFor(path)) {
        result = decoder(job, pair);
        if (result != kNotThisFormat)
            break;
    }
    if (result == kDecoded)
        return true;
    pair.release();
    if (result == kNotThisFormat) {
        ctx.percent.store(0, std::memory_order_relaxed);
        ctx.errorText = kUnknownFormatText;
    }
    return false;
}

}  // namespace qv
