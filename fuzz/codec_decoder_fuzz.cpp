// Feeds arbitrary bytes to the image codec decoder and checks the decoder contract.

#include "decoder_fuzz.h"
#include "imageio/codec_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return qv::fuzz::checkDecoder(qv::decodeWithCodec, data, size);
}
