// Feeds arbitrary bytes to the 16-bit TIFF reader and checks the decoder contract.

#include "decoder_fuzz.h"
#include "imageio/tiff16_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return qv::fuzz::checkDecoder(qv::decodeTiff16, data, size);
}
