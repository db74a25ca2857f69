// Bit masks of where certain bytes are in a block of 64: bit i is set when
// byte i is one of them. Scanners find the next such byte with one count of
// trailing zeros instead of a test and a branch per byte.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The bytes an HTML writer may have to do more with than copy, among
// bytes[0, count), count <= 64: "&", "<", ">", the C0 controls but tab, DEL
// and every byte of 0x80 and above (which a caller tells apart itself).
inline std::uint64_t MarkupMask(const char* bytes, std::size_t count) {
#if defined(__SSE2__)
  if (count == kMaskBlock) {
    const __m128i space = _mm_set1_epi8(' ');  // signed: below it are C0 and 0x80 and above
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i del = _mm_set1_epi8('\x7F');
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kMaskBlock; i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      __m128i low = _mm_andnot_si128(_mm_cmpeq_epi8(v, tab), _mm_cmplt_epi8(v, space));
      __m128i markup = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt)),
                                    _mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_cmpeq_epi8(v, del)));
      __m128i hit = _mm_or_si128(low, markup);
      mask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << i;
    }
    return mask;
  }
#endif
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < count; ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    bool hit = (c < 0x20 && c != '\t') || c >= 0x7F || c == '&' || c == '<' || c == '>';
    mask |= static_cast<std::uint64_t>(hit) << i;
  }
  return mask;
}

}  // namespace pl2html
