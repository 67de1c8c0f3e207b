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
    case codec::Status::TooLarge:
        job.setError(tooLargeReason(answer.declaredWidth, answer.declaredHeight));
        return kDecodeFailed;
    case codec::Status::Damaged:
        job.setError(kDamagedReason);
        return kDecodeFailed;
    case codec::Status::Failed:
        return kDecodeFailed;
    }
    if (job.aborted())
        return kDecodeFailed;
    if (image.width() < kMinImageSide || image.height() < kMinImageSide) {
        job.setError(tooSmallReason(image.width(), image.height()));
        return kDecodeFailed;
    }

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
