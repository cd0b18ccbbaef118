// The shared byte helpers: little-endian fields, positioned transfers and whole-file reads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "marketdb/bytes.h"
#include "tests/support/test_support.h"

using namespace marketdb;

TEST(BytesTest, FieldsAreLittleEndianWhateverTheMachine) {
  const unsigned char placed[8] = {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x81};
  for (int bytes = 1; bytes <= 8; ++bytes) {
    std::uint64_t expected = 0;
    for (int i = bytes - 1; i >= 0; --i) expected = expected * 256 + placed[i];
    EXPECT_EQ(getLittle(placed, bytes), expected) << bytes;
    std::string s = "xy";
    appendLittle(s, expected, bytes);
    EXPECT_EQ(s.substr(2), std::string(reinterpret_cast<const char*>(placed), bytes)) << bytes;
    setLittle(s, 1, 0x4142, 2);  // 'B' then 'A'
    EXPECT_EQ(s.substr(0, 3), "xBA");
  }
}

TEST(BytesTest, PositionedTransfersAndWholeFileReads) {
  testsupport::TempWorkDir dir;
  const int fd = ::open("f", O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(writeAt(fd, "abcdef", 6, 4));  // a hole of four zero bytes before
  unsigned char got[16] = {};
  EXPECT_EQ(readAt(fd, got, sizeof got, 2), 8u);  // short at the end of the file
  EXPECT_EQ(std::string(reinterpret_cast<char*>(got), 8), std::string("\0\0abcdef", 8));
  ::close(fd);

  std::string text = "old";
  EXPECT_EQ(readWholeFile("f", text, true), WholeFile::Read);
  EXPECT_EQ(text, std::string("\0\0\0\0abcdef", 10));
  EXPECT_EQ(readWholeFile("none", text, false), WholeFile::Missing);
  ::mkdir("folder", 0755);
  EXPECT_EQ(readWholeFile("folder", text, true), WholeFile::NotRegular);
  EXPECT_EQ(readWholeFile("folder", text, false), WholeFile::ReadFailed);
  EXPECT_TRUE(text.empty());
  ::mkfifo("fifo", 0644);  // refused at once, without waiting for a writer
  EXPECT_EQ(readWholeFile("fifo", text, true), WholeFile::NotRegular);
}

// The read into a large text gives what the read into a string gives: small files from
// the heap, a large one in large pages, and /proc/version, whose size says 0, through the
// text's growing.
TEST(BytesTest, WholeFileReadIntoABlockIsTheSameRead) {
  testsupport::TempWorkDir dir;
  std::string large(LargeBlock::LargeFrom + 12345, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 4096);
  testsupport::writeFile("large", large);
  testsupport::writeFile("small", "abc\n");
  testsupport::writeFile("empty", "");
  ::mkdir("folder", 0755);
  for (const char* name : {"large", "small", "empty", "none", "folder", "/proc/version"}) {
    for (bool regularOnly : {false, true}) {
      SCOPED_TRACE(std::string(name) + (regularOnly ? " regular only" : ""));
      std::string text;
      LargeText block;
      block.append("old", 3);
      EXPECT_EQ(readWholeFile(name, block, regularOnly), readWholeFile(name, text, regularOnly));
      EXPECT_EQ(block.view(), text);
    }
  }
}

// Appended in pieces across the size where the heap gives way to large pages, a large text
// holds what a string appended the same way holds.
TEST(BytesTest, LargeTextAppendsAsAStringDoes) {
  std::mt19937 rng(5);
  LargeText text;
  std::string plain;
  text.reserve(100);
  while (plain.size() < 3 * LargeBlock::LargeFrom) {
    std::string piece(rng() % 3000, '\0');
    for (char& c : piece) c = static_cast<char>(rng());
    text.append(piece.data(), piece.size());
    plain += piece;
  }
  EXPECT_EQ(text.view(), plain);
  text.clear();
  text.append("ab", 2);
  EXPECT_EQ(text.view(), "ab");
}

TEST(BytesTest, ChecksumIsSixtyFourBitFnv1a) {
  // The definition, step by step: xor the byte in, multiply by the prime.
  const std::string data("pelinoru.sys\n\x00\xff", 15);
  std::uint64_t h = 14695981039346656037ULL;
  for (unsigned char c : data) h = (h ^ c) * 1099511628211ULL;
  EXPECT_EQ(checksumOf(data), h);
  EXPECT_EQ(checksum(reinterpret_cast<const unsigned char*>(data.data()) + 4, data.size() - 4,
                     checksumOf(data.substr(0, 4))),
            h);
}
