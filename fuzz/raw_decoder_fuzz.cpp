// Feeds arbitrary bytes to the RAW decoder (LibRaw) and checks the decoder contract.

#include "decoder_fuzz.h"
#include "imageio/raw_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return qv::fuzz::checkDecoder(qv::decodeRaw, data, size);
}
