// The files of a wide database read back what was written, and every damaged or unknown file
// is refused with a message naming it, never read in part or as the other kind.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "marketdb/wide_text.h"
#include "platform/text/cp932.h"
#include "tests/support/test_support.h"

using namespace marketdb;
using testsupport::readFile;
using testsupport::TempWorkDir;
using testsupport::writeFile;

namespace {

// FNV-1a over 64 bits, as the header carries it.
std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ULL;
  return h;
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}
void sealChecksum(std::string& b) {
  const std::uint64_t h = fnv1a(b.substr(0, 32));
  for (int i = 0; i < 8; ++i) b[32 + i] = static_cast<char>(h >> (8 * i));
}

const std::string SoundIndex =
    "PELWIDE IDX 1\n"
    "0 1 1309 ABC 2 0\n"
    "0 1 130A DEF 0 5\n"
    "0 2 1310 GHI 1 -3\n";
const std::string SoundSystem = "PELWIDE SYS 1\n   0 20240105    12 639\n1 2 3\n4 5\n";

struct Refusal {
  const char* what;
  std::function<WideCheck()> check;
  const char* message;  // a part of the message, UTF-8
  int line;
};

WideCheck index(const std::string& text, std::int64_t assigned = 3, std::uint32_t capacity = 3) {
  std::vector<WideIndexEntry> out;
  return parseWideIndex(text, capacity, assigned, out);
}
WideCheck header(const std::function<void(std::string&)>& change) {
  std::string b = encodeWideHeader(WideHeader{});
  change(b);
  WideHeader h;
  return decodeWideHeader(reinterpret_cast<const unsigned char*>(b.data()), b.size(),
                          "pelwide.dat", h);
}
WideCheck system(const std::string& text) {
  WideSystem s;
  return parseWideSystemFile(text, s);
}
WideCheck settings(const std::string& text) {
  WideSettings s;
  return parseWideSettingsFile(text, s);
}
std::string replaced(std::string s, const std::string& from, const std::string& to) {
  return s.replace(s.find(from), from.size(), to);
}

TEST(WideFiles, RefusalsNameTheFileAndLine) {
  const std::string idx = SoundIndex;
  const Refusal table[] = {
      {"damaged magic", [] { return system("PELWIDE SYX 1\n0 0 0 0\n"); },
       "pelwide.sys の1行目 は認識できない形式なので処理しません", 1},
      {"later version", [&] { return index(replaced(idx, "IDX 1", "IDX 12")); },
       "pelwide.idx の1行目 は版12の形式で、このプログラムは版1までしか扱えません", 1},
      {"CR in magic", [] { return settings("PELWIDE WIN 1\r\n"); }, "pelwide.win の1行目 は認識", 1},
      {"classic text", [] { return index("0 1 1301 ABC    0   0\n", 1); }, "認識できない形式", 1},
      {"header magic", [] { return header([](std::string& b) { b[3] = 'X'; }); },
       "pelwide.dat は認識できない形式", 0},
      {"header version", [] { return header([](std::string& b) { put32(b, 8, 3); }); },
       "pelwide.dat は版3の形式", 0},
      {"version 0",
       [] { return header([](std::string& b) { put32(b, 8, 0); sealChecksum(b); }); },
       "見出しが壊れている", 0},
      {"capacity too large",
       [] { return header([](std::string& b) { put32(b, 24, 100001); sealChecksum(b); }); },
       "pelwide.dat の見出しが壊れているので処理しません", 0},
      {"assigned beyond capacity",
       [] { return header([](std::string& b) { put32(b, 28, 10001); sealChecksum(b); }); },
       "見出しが壊れている", 0},
      {"checksum", [] { return header([](std::string& b) { put32(b, 24, 9999); }); },
       "見出しが壊れている", 0},
      {"short header", [] { return header([](std::string& b) { b.resize(100); }); },
       "見出しが壊れている", 0},
      {"unreal date", [] { return system(replaced(SoundSystem, "20240105", "20240230")); },
       "pelwide.sys の2行目が読めない", 2},
      {"ring position", [] { return system(replaced(SoundSystem, "639", "640")); },
       "pelwide.sys の2行目が読めない", 2},
      {"letter B", [&] { return index(replaced(idx, "130A", "130B")); }, "3行目のｺｰﾄﾞ130B", 3},
      {"NUL in a name", [&] { return index(replaced(idx, "GHI", std::string("GH\0I", 4))); },
       "4行目が読めない", 4},
      {"five fields", [&] { return index(replaced(idx, "GHI ", "")); }, "4行目が読めない", 4},
      {"code twice", [&] { return index(replaced(idx, "1310", "130A")); },
       "4行目のｺｰﾄﾞ130Aは3行目と同じ", 4},
      {"out of order", [&] { return index(replaced(idx, "1310", "1300")); },
       "4行目のｺｰﾄﾞ1300が3行目の130Aより前", 4},
      {"slot beyond capacity", [&] { return index(replaced(idx, "GHI 1", "GHI 3")); },
       "4行目の記録位置3が範囲(0..2)外", 4},
      {"slot twice", [&] { return index(replaced(idx, "GHI 1", "GHI 0")); },
       "4行目の記録位置0は3行目と重なる", 4},
      {"lost last line", [&] { return index(idx, 4, 5); }, "記録位置3の行がありません", 0},
      {"lost middle line", [&] { return index(replaced(idx, "0 1 1309 ABC 2 0\n", ""), 3); },
       "記録位置2の行がありません", 0},
      {"slot not assigned", [&] { return index(idx, 2); }, "割当済み記録位置は2個", 0},
  };
  for (const Refusal& r : table) {
    const WideCheck c = r.check();
    EXPECT_FALSE(c.ok) << r.what;
    EXPECT_EQ(c.line, r.line) << r.what;
    EXPECT_NE(pelinor::text::toUtf8(c.message).find(r.message), std::string::npos)
        << r.what << ": " << pelinor::text::toUtf8(c.message);
  }
  EXPECT_TRUE(index(idx).ok);
  EXPECT_TRUE(system(SoundSystem).ok);
}

// Random stocks written in any order read back sorted by their code's characters (digits
// before letters), each with its fields.
TEST(WideFiles, IndexReadsBackInCodeOrder) {
  const std::string second = "0123456789ACDFGHJKLMNPRSTUWXY";
  std::mt19937 random(23);
  std::vector<WideIndexEntry> entries;
  std::vector<std::string> texts;
  for (int slot = 0; slot < 400; ++slot) {
    std::string t;
    do {
      t = {static_cast<char>('1' + random() % 9), second[random() % second.size()],
           static_cast<char>('0' + random() % 10), second[random() % second.size()]};
    } while (std::find(texts.begin(), texts.end(), t) != texts.end());
    texts.push_back(t);
    entries.push_back({static_cast<int>(random() % 2), static_cast<int>(random() % 7),
                       codeFromText(t), std::to_string(random() % 99999) + "N", slot,
                       static_cast<int>(random() % 200) - 100});
  }
  std::vector<WideIndexEntry> back;
  const WideCheck c = parseWideIndex(formatWideIndex(entries), WideCapacity, 400, back);
  ASSERT_TRUE(c.ok) << pelinor::text::toUtf8(c.message);
  ASSERT_EQ(back.size(), entries.size());
  std::sort(texts.begin(), texts.end());
  for (std::size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(codeText(back[i].code), texts[i]);
    const WideIndexEntry& e = *std::ranges::find(entries, back[i].code, &WideIndexEntry::code);
    EXPECT_EQ(std::tie(back[i].deleted, back[i].section, back[i].name, back[i].slot, back[i].change),
              std::tie(e.deleted, e.section, e.name, e.slot, e.change));
  }

  // The stock table the viewer reads takes every entry straight from its line; an index refused
  // at its last line leaves none of the lines read before it in the table.
  TempWorkDir dir;
  testsupport::writeFile(WideSystemFileName, SoundSystem);
  const std::string text = formatWideIndex(entries);
  testsupport::writeFile(WideIndexFileName, text);
  StockTable table(WideCapacity);
  ASSERT_EQ(readStockTable(table), FileStatus::Ok);
  ASSERT_EQ(table.count, 400);
  for (int i = 0; i < 400; ++i) {
    const WideIndexEntry& b = back[static_cast<std::size_t>(i)];
    EXPECT_EQ(std::tie(table.kcodeidx[i], table.krecordi[i], table.kchumoku[i], table.ksijo[i]),
              std::tie(b.code, b.slot, b.change, b.section));
    EXPECT_EQ(std::string(table.kmeiidx[i].text), b.name);
  }
  const std::size_t firstLine = text.find('\n') + 1;  // the first stock, again at the end
  testsupport::writeFile(WideIndexFileName,
                         text + text.substr(firstLine, text.find('\n', firstLine) + 1 - firstLine));
  EXPECT_EQ(readStockTable(table), FileStatus::Damaged);
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(table.kcodeidx[0], StockCodeEnd);
}

TEST(WideFiles, SystemAndSettingsKeepFullDatesAndLetterCodes) {
  WideSystem s{{0, 0, 12345, 639, {1, 2, 3}, {5, 6, 7}}, 20240105};  // a float would hold 20240104
  WideSystem sBack;
  ASSERT_TRUE(parseWideSystemFile(formatWideSystemFile(s), sBack).ok);
  EXPECT_EQ(sBack.lastStoreDate, 20240105);
  EXPECT_EQ(formatWideSystemFile(sBack), formatWideSystemFile(s));

  WideSettings w;
  w.win.databaseKind = 1;
  w.win.weights[9] = 77;
  w.win.scratch = 3;
  w.codes[0] = codeFromText("130A");
  w.codes[1] = codeFromText("9999");
  w.codes[119] = codeFromText("2Y3X");
  WideSettings wBack;
  const std::string text = formatWideSettingsFile(w);
  ASSERT_TRUE(parseWideSettingsFile(text, wBack).ok);
  EXPECT_EQ(formatWideSettingsFile(wBack), text);
  EXPECT_EQ(codeText(wBack.codes[0]) + codeText(wBack.codes[119]), "130A2Y3X");
  EXPECT_EQ(wBack.codes[2], NoStockCode);
  // A position that is not a code reads as an empty one, which ends its list.
  EXPECT_TRUE(parseWideSettingsFile(replaced(text, "130A", "130B"), wBack).ok);
  EXPECT_EQ(wBack.codes[0], NoStockCode);
}

// A change of a wide database journals under the wide name, and an interrupted one is written
// back by whoever opens the folder next: the files are the old or the new ones, never a mix.
TEST(WideFiles, AnInterruptedChangeIsWrittenBackFromTheWideJournal) {
  TempWorkDir dir;
  const DatabaseFiles files = databaseFilesOf(WideLayout);
  for (int n = 1;; ++n) {
    ASSERT_LT(n, 200);
    writeFile(WideSystemFileName, "sys old\n");
    writeFile(WideIndexFileName, "idx old\n");
    writeFile(WidePriceFileName, std::string(5000, 'a'));
    const pid_t pid = ::fork();
    if (pid == 0) {
      int left = n;
      setWriteHook([](void* c) { return --*static_cast<int*>(c) != 0 || (::_exit(0), false); },
                   &left);
      DatabaseChange c(files);
      const std::string x(40, 'x');
      if (c.lock() && c.openPrices() && c.begin({{4090, 40}}, {WideIndexFileName, WideSystemFileName}) &&
          c.writePrices(4090, reinterpret_cast<const unsigned char*>(x.data()), 40))
        c.commit({{WideIndexFileName, "idx new\n"}, {WideSystemFileName, "sys new\n"}});
      ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const bool stopped = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    EXPECT_FALSE(std::filesystem::exists(JournalFileName)) << n;
    EXPECT_EQ(recoverDatabase().status == RecoveryStatus::Failed, false) << n;
    EXPECT_FALSE(std::filesystem::exists(WideJournalFileName)) << n;
    const std::string dat = readFile(WidePriceFileName);
    const bool isNew = readFile(WideIndexFileName) == "idx new\n";
    EXPECT_EQ(readFile(WideSystemFileName), isNew ? "sys new\n" : "sys old\n") << n;
    EXPECT_EQ(dat, isNew ? std::string(4090, 'a') + std::string(40, 'x') + std::string(870, 'a')
                         : std::string(5000, 'a')) << n;
    if (!stopped) break;
  }
}

}  // namespace
