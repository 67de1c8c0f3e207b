#include "imageio/codec_decoder.h"

#include "codec/codec.h"
#include "imageio/image_io_context.h"
#include "imageio/parallel_rows.h"

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
        return DecodeResult::notThisFormat();
    case codec::Status::SystemError:
    case codec::Status::OutOfMemory:
        return DecodeResult::failed(answer.message);
    case codec::Status::TooLarge:
        return DecodeResult::failed(tooLargeReason(answer.declaredWidth, answer.declaredHeight));
    case codec::Status::Damaged:
        return DecodeResult::failed(kDamagedReason);
    case codec::Status::Failed:
        return DecodeResult::failed();
    }
    if (job.aborted())
        return DecodeResult::failed();
    if (image.width() < kMinImageSide || image.height() < kMinImageSide)
        return DecodeResult::failed(tooSmallReason(image.width(), image.height()));

    if (std::optional<DecodeResult> allocationFailure = job.allocate(pair, image.width(), image.height()))
        return *allocationFailure;
    const bool drawn = image.drawInto(*pair.image8);
    image.release();
    if (!drawn)
        return job.fail(pair);
    // The 16-bit twin, its rows shared out between the workers.
    forEachRowParallel(pair.image8->height(), job.context.workerCount, [&](int, int y) {
        widenRow(pair.image8->row(y), pair.image16->row16(y), pair.image8->width() * 3);
        return !job.aborted();
    });
    return job.finish(pair, 24);
}

}  // namespace qv
