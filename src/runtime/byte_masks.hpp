// Bit masks of where certain bytes are in a block of 64: bit i is set when
// byte i is one of them. Scanners find the next such byte with one count of
// trailing zeros instead of a test and a branch per byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pl2html {

inline constexpr std::size_t kMaskBlock = 64;

// The line ends (LF, CR and the 0 byte) among bytes[0, count), count <= 64.
inline std::uint64_t LineEndMask(const char* bytes, std::size_t count) {
#if defined(__SSE2__)
  if (count == kMaskBlock) {
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kMaskBlock; i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      __m128i hit =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lineFeed), _mm_cmpeq_epi8(v, carriageReturn)),
                       _mm_cmpeq_epi8(v, zero));
      mask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << i;
    }
    return mask;
  }
#endif
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < count; ++i) {
    char c = bytes[i];
    mask |= static_cast<std::uint64_t>(c == '\n' || c == '\r' || c == '\0') << i;
  }
  return mask;
}

// A set of bytes kept as runs of consecutive byte values: SSE2 has no table
// lookup, but tests a run with one addition and one comparison, and the
// sets the scanners need are a few runs each.
struct ByteRange {
  unsigned char first;
  unsigned char last;
};

template <std::size_t kRanges>
struct ByteSet {
  std::array<ByteRange, kRanges> ranges;
  bool contains[256];  // the same set byte by byte, for the scalar path
};

// How many runs of consecutive members `kIn` has among the 256 byte values.
template <bool (*kIn)(unsigned char)>
constexpr std::size_t RangeCount() {
  std::size_t count = 0;
  for (int ch = 0; ch < 256; ++ch) {
    count += kIn(static_cast<unsigned char>(ch)) &&
             (ch == 0 || !kIn(static_cast<unsigned char>(ch - 1)));
  }
  return count;
}

// The bytes for which `kIn` holds, as a ByteSet built at compile time.
template <bool (*kIn)(unsigned char)>
constexpr ByteSet<RangeCount<kIn>()> MakeByteSet() {
  ByteSet<RangeCount<kIn>()> set{};
  std::size_t next = 0;
  for (int ch = 0; ch < 256; ++ch) {
    const bool in = kIn(static_cast<unsigned char>(ch));
    set.contains[ch] = in;
    if (!in) continue;
    if (ch == 0 || !kIn(static_cast<unsigned char>(ch - 1))) {
      set.ranges[next++].first = static_cast<unsigned char>(ch);
    }
    set.ranges[next - 1].last = static_cast<unsigned char>(ch);
  }
  return set;
}

inline constexpr std::size_t kChunk = 16;

#if defined(__SSE2__)
// 0xFF in each lane of `v` whose byte lies in `range`. The addition moves
// the range to the bottom of the signed bytes, where one signed comparison
// with its upper end tells whether a byte is in it.
inline __m128i InRange(__m128i v, ByteRange range) {
  if (range.first == range.last) {
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(range.first)));
  }
  const __m128i moved = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - range.first)));
  const int above = -128 + (range.last - range.first) + 1;
  return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(above)));
}
#endif

// The members of kSet among the kChunk bytes at `bytes`, as bits: bit i is
// set when bytes[i] is one.
template <const auto& kSet>
inline std::uint32_t ChunkMask(const char* bytes) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  __m128i hit = _mm_setzero_si128();
  [&]<std::size_t... kIndex>(std::index_sequence<kIndex...>) {
    ((hit = _mm_or_si128(hit, InRange(v, kSet.ranges[kIndex]))), ...);
  }
  (std::make_index_sequence<kSet.ranges.size()>());
  return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
#else
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < kChunk; ++i) {
    mask |= static_cast<std::uint32_t>(kSet.contains[static_cast<unsigned char>(bytes[i])]) << i;
  }
  return mask;
#endif
}

// Points to kChunk readable bytes of which byte `skip` is code[at]: in
// `code` itself while it holds them (its last kChunk bytes near its end),
// else in `spare`, a copy padded with zeros.
inline const char* ChunkAt(std::string_view code, std::size_t at, char (&spare)[kChunk],
                           unsigned& skip) {
  skip = 0;
  if (at + kChunk <= code.size()) return code.data() + at;
  if (code.size() >= kChunk) {
    skip = static_cast<unsigned>(at + kChunk - code.size());
    return code.data() + code.size() - kChunk;
  }
  std::memset(spare, 0, kChunk);
  std::memcpy(spare, code.data() + at, code.size() - at);
  return spare;
}

}  // namespace pl2html
