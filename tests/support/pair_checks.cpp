#include "support/pair_checks.h"

#include <cstring>

namespace qv::test {

::testing::AssertionResult pairIsConsistent(const SourcePair& pair, int bitDepth)
{
    if (!pair.image8 || !pair.image16)
        return ::testing::AssertionFailure() << "a bitmap is missing";
    const Bitmap& b8 = *pair.image8;
    const Bitmap& b16 = *pair.image16;
    if (b8.width() != b16.width() || b8.height() != b16.height())
        return ::testing::AssertionFailure() << "sizes differ";
    for (int y = 0; y < b8.height(); ++y)
        for (int i = 0; i < b8.width() * 3; ++i) {
            const uint16_t wide = b16.row16(y)[i];
            const uint8_t narrow = b8.row(y)[i];
            const bool same = bitDepth == 48 ? narrow == wide >> 8 : wide == narrow << 8;
            if (!same)
                return ::testing::AssertionFailure()
                       << "row " << y << " sample " << i << ": " << int(narrow) << " vs " << wide;
        }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult samePixels(const Bitmap& a, const Bitmap& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.format() != b.format())
        return ::testing::AssertionFailure() << "size or format differs";
    const std::size_t rowBytes = std::size_t(a.width()) * bytesPerPixel(a.format());
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), rowBytes) != 0)
            return ::testing::AssertionFailure() << "row " << y << " differs";
    return ::testing::AssertionSuccess();
}

}  // namespace qv::test
