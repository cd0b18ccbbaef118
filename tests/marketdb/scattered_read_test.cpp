// The batched scattered read against one plain read per part: every part gets the same bytes
// and the same count, wherever it lies.
#include <fcntl.h>
#include <linux/io_uring.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "marketdb/scattered_read.h"
#include "tests/support/test_support.h"

using marketdb::ScatteredPart;

namespace {

// Whether this kernel sets up an io_uring at all (a sandbox may refuse it).
bool kernelHasRings() {
  io_uring_params params{};
  const long fd = ::syscall(__NR_io_uring_setup, 4, &params);
  if (fd < 0) return false;
  ::close(static_cast<int>(fd));
  return true;
}

}  // namespace

TEST(ScatteredRead, EveryPartGetsWhatAPlainReadGives) {
  testsupport::TempWorkDir dir;
  std::mt19937 random(23);
  std::string file(3'000'000, '\0');
  for (char& c : file) c = static_cast<char>(random());
  testsupport::writeFile("f", file);
  const int fd = ::open("f", O_RDONLY);
  ASSERT_GE(fd, 0);
  const auto size = static_cast<std::int64_t>(file.size());

  struct Case {
    const char* what;
    int parts;
    std::int64_t stride;  // 0: anywhere, from before the start to past the end
    std::size_t maxSize;
  };
  const Case cases[] = {
      {"a stock's days, one record in each of many rows", 640, 4'700, 32},
      {"fewer parts than are worth a ring", 200, 10'000, 64},
      {"anywhere: overlapping, empty, straddling the end, past it, before the start", 1000, 0,
       9'000},
      {"parts larger than the ring takes among small ones", 300, 0, 20'000'000},
  };
  std::size_t batchedAll = 0;
  for (const Case& c : cases) {
    std::vector<std::string> batchedBytes, plainBytes;
    std::vector<ScatteredPart> batched, plain;
    for (int i = 0; i < c.parts; ++i) {
      const std::int64_t offset = c.stride > 0 ? i * c.stride
                                               : static_cast<std::int64_t>(random() % (size + 8000)) - 3000;
      std::size_t n = random() % 9 == 0 ? 0 : 1 + random() % c.maxSize;
      if (c.maxSize > 1'000'000 && i % 15 != 0) n %= 64;
      batchedBytes.emplace_back(n, 'B');
      plainBytes.emplace_back(n, 'P');
      batched.push_back({offset, nullptr, n});
      plain.push_back({offset, nullptr, n});
    }
    for (int i = 0; i < c.parts; ++i) {
      batched[i].data = reinterpret_cast<unsigned char*>(batchedBytes[i].data());
      plain[i].data = reinterpret_cast<unsigned char*>(plainBytes[i].data());
    }
    batchedAll += marketdb::readScattered(fd, batched);
    marketdb::readScatteredPlainly(fd, plain);
    for (int i = 0; i < c.parts; ++i) {
      ASSERT_EQ(batched[i].got, plain[i].got) << c.what << ", part " << i;
      // Bytes past what was read are left as they were: compare only what was read.
      ASSERT_EQ(batchedBytes[i].substr(0, batched[i].got), plainBytes[i].substr(0, plain[i].got))
          << c.what << ", part " << i;
      if (plain[i].got > 0) {
        ASSERT_EQ(plainBytes[i].substr(0, plain[i].got),
                  file.substr(static_cast<std::size_t>(plain[i].offset), plain[i].got))
            << c.what << ", part " << i;
      }
    }
  }
  ::close(fd);
  // The batched form is not the plain one in disguise, where the kernel gives rings.
  if (kernelHasRings()) {
    EXPECT_GT(batchedAll, 0u);
  }

  // A folder is no regular file: every part reads nothing, as a plain read gives.
  const int folder = ::open(".", O_RDONLY | O_DIRECTORY);
  std::vector<unsigned char> bytes(32 * 300);
  std::vector<ScatteredPart> parts;
  for (int i = 0; i < 300; ++i) parts.push_back({i * 32, bytes.data() + i * 32, 32, 99});
  EXPECT_EQ(marketdb::readScattered(folder, parts), 0u);
  for (const ScatteredPart& p : parts) EXPECT_EQ(p.got, 0u);
  ::close(folder);
}
