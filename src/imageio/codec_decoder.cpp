#include "imageio/codec_decoder.h"

#include "codec/codec.h"

namespace qv {

DecodeResult decodeWithCodec(const DecodeJob& job, SourcePair& pair)
{
    // The codec reports no intermediate progress.
    job.publishPercent(job.range.end);

    codec::DecodedImage image;
    const codec::Answer answer = image.load(job.path);
    switch (answer.status) {
    case codec::Status::Ok:
        break;
    case codec::Status::UnknownFormat:
        return kNotThisFormat;
    case codec::Status::SystemError:
    case codec::Status::OutOfMemory:
        job.setError(answer.message);
        return kDecodeFailed;
    case codec::Status::Damaged:
        // Like the other decoders, a file whose data is cut short or
        // corrupt fails with the load error rather than with a made-up part.
        job.setError(kLoadErrorText);
        return kDecodeFailed;
    case codec::Status::Failed:
        return kDecodeFailed;
    }
    if (job.aborted() || image.width() < kMinImageSide || image.height() < kMinImageSide)
        return kDecodeFailed;

    if (!job.allocate(pair, image.width(), image.height()))
        return kDecodeFailed;
    const bool drawn = image.drawInto(*pair.image8);
    image.release();
    if (!drawn)
        return job.fail(pair);
    for (int y = 0; y < pair.image8->height(); ++y) {
        widenRow(pair.image8->row(y), pair.image16->row16(y), pair.image8->width() * 3);
        if (job.aborted())
            break;
    }
    return job.finish(pair, 24);
}

}  // namespace qv
