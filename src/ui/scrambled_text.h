#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <span>

namespace qv {

// Addresses kept in the program in scrambled form: the plain text is folded
// at compile time and never stored in the executable; unscrambled() gives it
// back at run time.

constexpr unsigned char scrambleKey(std::size_t index)
{
    return static_cast<unsigned char>(0xA7 ^ (index * 29 + 11));
}

template <std::size_t N>
consteval std::array<unsigned char, N - 1> scrambled(const char (&text)[N])
{
    std::array<unsigned char, N - 1> bytes{};
    for (std::size_t i = 0; i + 1 < N; ++i)
        bytes[i] = static_cast<unsigned char>(text[i]) ^ scrambleKey(i);
    return bytes;
}

inline QString unscrambled(std::span<const unsigned char> bytes)
{
    QByteArray text(static_cast<qsizetype>(bytes.size()), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        text[static_cast<qsizetype>(i)] = static_cast<char>(bytes[i] ^ scrambleKey(i));
    return QString::fromUtf8(text);
}

}  // namespace qv
