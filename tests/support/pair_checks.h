#pragma once

#include <gtest/gtest.h>

#include "imageio/source_pair.h"

namespace qv::test {

// Both bitmaps exist, have one size, and show the same picture: for bit
// depth 48 the 8-bit values are the high bytes of the 16-bit ones, for 24 the
// 16-bit values are the 8-bit ones shifted left by 8.
::testing::AssertionResult pairIsConsistent(const SourcePair& pair, int bitDepth);

// The two 16-bit bitmaps hold the same pixels.
::testing::AssertionResult samePixels(const Bitmap& a, const Bitmap& b);

}  // namespace qv::test
