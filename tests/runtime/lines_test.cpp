#include "runtime/lines.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace pl2html {
namespace {

// Writes bytes readably: CR as "\r", LF as "\n", byte 0 as "\0".
std::string Show(std::string_view bytes) {
  std::string shown;
  for (char c : bytes) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\0') {
      shown += "\\0";
    } else {
      shown += c;
    }
  }
  return shown;
}

std::vector<std::string> Lines(LineReader& reader) {
  std::vector<std::string> lines;
  while (!reader.AtEnd())
    lines.emplace_back(reader.ReadLine());
  return lines;
}

// A refill that hands out `bytes`, at most `chunk` at a time.
LineReader::Fill FillFrom(std::string_view bytes, std::size_t chunk = 1 << 16) {
  return [bytes, chunk, at = std::size_t{0}](char* buffer, std::size_t size) mutable {
    std::size_t take = std::min({chunk, size, bytes.size() - at});
    std::memcpy(buffer, bytes.data() + at, take);
    at += take;
    return static_cast<std::int64_t>(take);
  };
}

// Feeds `bytes` through a reader whose refills hand out `chunk` bytes at a
// time, so that line ends and CR LF pairs fall across buffer boundaries.
std::vector<std::string> LinesInChunks(std::string_view bytes, std::size_t chunk) {
  LineReader reader(FillFrom(bytes, chunk), chunk);
  return Lines(reader);
}

struct LineCase {
  std::string bytes;
  std::vector<std::string> lines;
};

const LineCase kLineCases[] = {
    {"ab\r\ncd\r\n", {"ab", "cd"}},
    {"ab\ncd", {"ab", "cd"}},
    {"ab\rcd\n", {"ab", "cd"}},
    {"a\n\rb", {"a", "", "b"}},
    {std::string("ab\0cd\n", 6), {"ab", "cd"}},
    {"abc\r", {"abc"}},
    {"", {}},
    {"\n", {""}},
    {"\r\n\r\n", {"", ""}},
    {"\r\r", {"", ""}},
    {"- a\n- b\r\n- c\r- d", {"- a", "- b", "- c", "- d"}},
    {std::string("\0\0", 2), {"", ""}},
    {"x\r\r\ny", {"x", "", "y"}},
};

TEST(LineReader, SplitsAtEveryKindOfLineEnd) {
  for (const LineCase& c : kLineCases) {
    LineReader reader(FillFrom(c.bytes));
    EXPECT_EQ(Lines(reader), c.lines) << Show(c.bytes);
  }
}

TEST(LineReader, SplitsTheSameWhateverTheBufferSize) {
  for (const LineCase& c : kLineCases) {
    for (std::size_t chunk : {1, 2, 3, 7}) {
      EXPECT_EQ(LinesInChunks(c.bytes, chunk), c.lines) << Show(c.bytes) << " chunk " << chunk;
    }
  }
}

// The rules, a byte at a time: what the reader's block-wise search must give.
std::vector<std::string> ReferenceLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c != '\n' && c != '\r' && c != '\0') {
      line += c;
      continue;
    }
    lines.push_back(line);
    line.clear();
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST(LineReader, FindsLineEndsAtEveryPlaceOfItsBlocks) {
  // Line ends of every kind, alone and in runs, at every distance from the
  // 64-byte blocks the reader examines and from the edges of its buffer.
  std::string bytes;
  std::uint32_t seed = 12345;
  const char kAlphabet[] = {'a', 'b', ' ', '\n', '\r', '\0', '\xe9'};
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    int pick = static_cast<int>((seed >> 16) % 16);
    bytes += kAlphabet[pick < 7 ? pick : pick % 3];  // mostly text
  }
  bytes += std::string(300, 'z');  // a last line longer than some buffers
  const std::vector<std::string> expected = ReferenceLines(bytes);
  LineReader whole(FillFrom(bytes, bytes.size()), bytes.size());
  EXPECT_EQ(Lines(whole), expected);
  for (std::size_t chunk : {63, 64, 65, 100, 128, 4096}) {
    EXPECT_EQ(LinesInChunks(bytes, chunk), expected) << "chunk " << chunk;
  }
}

TEST(LineReader, KeepsLinesLongerThanItsBuffer) {
  std::string longLine(100000, 'x');
  EXPECT_EQ(LinesInChunks(longLine + "\r\nyz", 4096), (std::vector<std::string>{longLine, "yz"}));
}

TEST(LineReader, ReadingPastTheEndGivesEmptyLines) {
  LineReader reader(FillFrom("a"));
  EXPECT_EQ(reader.ReadLine(), "a");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.ReadLine(), "");
  EXPECT_FALSE(reader.Failed());
}

TEST(LineReader, AReadErrorEndsTheInputAndIsRemembered) {
  int calls = 0;
  LineReader reader([&](char* buffer, std::size_t) -> std::int64_t {
    if (++calls > 1) return -1;
    std::memcpy(buffer, "ab\ncd", 5);
    return 5;
  });
  EXPECT_EQ(Lines(reader), (std::vector<std::string>{"ab", "cd"}));
  EXPECT_TRUE(reader.Failed());
}

}  // namespace
}  // namespace pl2html

// The vector path of MarkupMask (whole blocks) agrees with the byte path
// (shorter runs) on every byte value.
TEST(MarkupMask, BlocksAgreeWithSingleBytes) {
  std::string bytes(256, '\0');
  for (int c = 0; c < 256; ++c)
    bytes[static_cast<std::size_t>(c)] = static_cast<char>(c);
  for (std::size_t block = 0; block < 256; block += pl2html::kMaskBlock) {
    std::uint64_t single = 0;
    for (std::size_t i = 0; i < pl2html::kMaskBlock; ++i)
      single |= pl2html::MarkupMask(bytes.data() + block + i, 1) << i;
    EXPECT_EQ(pl2html::MarkupMask(bytes.data() + block, pl2html::kMaskBlock), single) << block;
  }
  EXPECT_EQ(pl2html::MarkupMask("a\t<b", 4), 0b0100u);
}
