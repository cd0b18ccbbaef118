// pelinorx clear-stale on a database stored the old way: records a stock kept from the ring's
// previous lap are emptied, as one change, and nothing else moves; a second run finds none.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

using e2e::pelinorx;
using testsupport::readFile;
using testsupport::writeFile;

// An 18-byte day record: float date, five little-endian int16 prices, float volume.
std::string record(float date, int price, float volume) {
  std::string b(18, '\0');
  std::memcpy(&b[0], &date, 4);
  for (int k = 0; k < 5; ++k) {
    const auto u = static_cast<std::uint16_t>(k == 4 ? 0 : price);
    b[4 + 2 * k] = static_cast<char>(u & 0xFF);
    b[5 + 2 * k] = static_cast<char>(u >> 8);
  }
  std::memcpy(&b[14], &volume, 4);
  return b;
}

TEST(ClearStale, EmptiesOnlyThePreviousLapsRecords) {
  testsupport::TempWorkDir dir;
  ASSERT_EQ(pelinorx("init W").status, 0);
  // Four stocks on three days (ring positions 1..3).
  for (int day = 1; day <= 3; ++day) {
    std::string text;
    for (int code : {1301, 1332, 1377, 2001})
      text += "\"NNNNNNNNNNNNNN\",10,10,10,10,0,5,99120" + std::to_string(day) + ",801," +
              std::to_string(code * 10) + "\n";
    writeFile("W99120" + std::to_string(day), text);
  }
  ASSERT_EQ(pelinorx("store W991201 W991202 W991203").status, 0);

  // The old way: 1332 and 2001 kept older days at position 2, 1377 an older day at position 3
  // and a day without volume at position 1; one damaged record of 1301 holds a later date, which
  // must not make the others of position 3 look stale.
  std::string dat = readFile("pelinoru.dat");
  ASSERT_EQ(dat.size(), 4u * 11520);
  auto put = [&](int slot, int position, const std::string& bytes) {
    dat.replace(static_cast<std::size_t>(slot) * 11520 + static_cast<std::size_t>(position) * 18,
                18, bytes);
  };
  put(1, 2, record(980512, 7, 3));
  put(3, 2, record(980512, 8, 3));
  put(2, 3, record(980513, 9, 3));
  put(2, 1, record(980511, 9, 0));
  put(0, 3, record(991231, 9, 4));
  writeFile("pelinoru.dat", dat);
  const std::string idx = readFile("pelinoru.idx");
  const std::string sys = readFile("pelinoru.sys");

  const e2e::Result first = pelinorx("clear-stale");
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find("cleared 3 previous-lap records of 3 stocks"), std::string::npos)
      << first.out;
  std::string expected = dat;
  for (const auto& [slot, position] : {std::pair{1, 2}, {3, 2}, {2, 3}})
    expected.replace(static_cast<std::size_t>(slot) * 11520 + static_cast<std::size_t>(position) * 18,
                     18, std::string(18, '\0'));
  EXPECT_EQ(readFile("pelinoru.dat"), expected);
  EXPECT_EQ(readFile("pelinoru.idx"), idx);
  EXPECT_EQ(readFile("pelinoru.sys"), sys);
  EXPECT_FALSE(std::filesystem::exists("pelinoru.jnl"));

  const e2e::Result second = pelinorx("clear-stale");
  EXPECT_EQ(second.status, 0);
  EXPECT_NE(second.out.find("cleared 0 previous-lap records of 0 stocks"), std::string::npos)
      << second.out;
  EXPECT_EQ(readFile("pelinoru.dat"), expected);
  EXPECT_EQ(pelinorx("clear-stale now").status, 2);
}

// A stock left over from a whole lap, followed in the file by a stock whose first record is
// stale: all of the first block and the one record are emptied, nothing else.
TEST(ClearStale, AWholeStaleBlockAndTheNextBlocksFirstRecord) {
  testsupport::TempWorkDir dir;
  ASSERT_EQ(pelinorx("init W").status, 0);
  std::string text;
  for (int code : {1301, 1332, 1377, 2001})
    text += "\"NNNNNNNNNNNNNN\",10,10,10,10,0,5,991201,801," + std::to_string(code * 10) + "\n";
  writeFile("W991201", text);
  ASSERT_EQ(pelinorx("store W991201").status, 0);
  std::string dat;
  for (int slot = 0; slot < 4; ++slot)
    for (int position = 0; position < 640; ++position)
      dat += slot == 0 || (slot == 1 && position == 0) ? record(980512, 7, 3) : record(991201, 9, 5);
  writeFile("pelinoru.dat", dat);

  const e2e::Result r = pelinorx("clear-stale");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("cleared 641 previous-lap records of 2 stocks"), std::string::npos) << r.out;
  std::string expected = dat;
  expected.replace(0, 11520 + 18, std::string(11520 + 18, '\0'));
  EXPECT_EQ(readFile("pelinoru.dat"), expected);
}

}  // namespace
