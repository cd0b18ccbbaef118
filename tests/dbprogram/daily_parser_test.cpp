// The daily file's direct line reading against fscanf on the same text: every read gives the
// same outcome, the same values (bit for bit) and the same names, on a corpus of tricky lines
// and on random damage to good ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dbprogram/daily_parser.h"

using dbprogram::DailyFields;
using dbprogram::DailyRead;
using dbprogram::DailyReader;

namespace {

std::string describe(DailyRead r, const DailyFields& f) {
  std::string out = r == DailyRead::Line ? "line" : r == DailyRead::End ? "end" : "malformed";
  out += ' ';
  out.append(f.openMark, sizeof f.openMark);
  out.append(f.name, sizeof f.name);
  out.append(f.closeMark, sizeof f.closeMark);
  for (float v : {f.open, f.high, f.low, f.close, f.change, f.volume, f.date, f.market,
                  f.code10}) {
    unsigned bits;
    std::memcpy(&bits, &v, sizeof bits);
    out += ' ' + std::to_string(bits);
  }
  return out;
}

// Every read of the text up to its end or first malformed line, through fscanf on a file.
std::vector<std::string> plainReads(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  std::vector<std::string> out;
  DailyFields fields;
  for (;;) {
    const DailyRead r = dbprogram::readDailyFields(f, fields);
    out.push_back(describe(r, fields));
    if (r != DailyRead::Line) break;
  }
  std::fclose(f);
  return out;
}

std::vector<std::string> directReads(const std::string& text) {
  DailyReader reader(text);
  std::vector<std::string> out;
  DailyFields fields;
  for (;;) {
    const DailyRead r = reader.next(fields);
    out.push_back(describe(r, fields));
    if (r != DailyRead::Line) break;
  }
  return out;
}

const std::string Good = "\"AAAAAAAAAAAAAA\",100,105,98,102,2,12000,991230,801,13010\n";

TEST(DailyParser, TrickyLinesReadAsFscanfReadsThem) {
  const std::vector<std::string> corpus = {
      "",
      "   \n\t\r\n",
      Good,
      Good + Good,
      Good.substr(0, Good.size() - 1),  // no line feed at the end
      Good + "\"AAAA",                 // cut short at the end
      "\"AAAAAAAAAAAAAA\",1e3,1E+2,-0,0.5,.5,5.,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",0x1p4,inf,-INFINITY,nan,NAN(12),+7,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\", 100,\t105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",100 ,105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",1e,105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",1e+,105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",--1,105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",100,105,98,102,2,12000,991230,801,13010X\"BBBBBBBBBBBBBB\",1,1,1,1,0,1,"
      "991230,801,13770\n",
      "\"AAAAAAAAAAAAAA\",100,105,98,102,2,12000,991230,801,13010.\n",
      "\"AAAAAAAAAAAAAA\",100,105,98,102,2,12000,991230,801,1.3010e4\n",
      "\"AAAAAAAAAAAAAAA\",100,105,98,102,2,12000,991230,801,13010\n",  // 15-byte name
      "\"AAA\",100,105,98,102,2,12000,991230,801,13010\n",               // short name
      "\" AAAAAAAAAAAAAA \",100,105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",,105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\";100,105,98,102,2,12000,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",100,105,98,102,2,12000,991230,801\n",
      std::string("\"AA\0AAAAAAAAAAA\",100,105,98,102,2,12000,991230,801,13010\n", 58),
      "\"\x83\x65\x83\x58\x83\x67\x96\xbc\x8f\xcc\x82\xa0\x82\xa0\",1,2,3,4,5,6,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",100,105,98,102,2,123456789012345678901234567890,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",100,105,98,102,2," + std::string(400, '9') + ",991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",0.000000000000000000000000000000000000000000001,1,1,1,1,1,991230,801,"
      "13010\n",
      "\"AAAAAAAAAAAAAA\",16777217,33554435.5,0.1,-2147483649,3.4028236e38,1,991230,801,13010\n",
      "\"AAAAAAAAAAAAAA\",100,105,98,102,2,12000,991230,801,13010\r\n" + Good,
      "\"AAAAAAAAAAAAAA\"\n,100,105,98,102,2,12000,991230,801,13010\n",
      "\"\n",
      "x",
      "\"AAAAAAAAAAAAAA\",",
  };
  for (const std::string& text : corpus) EXPECT_EQ(directReads(text), plainReads(text)) << text;
}

TEST(DailyParser, RandomDamageReadsAsFscanfReadsIt) {
  std::mt19937 random(20240611);
  const std::string alphabet = "0123456789.,-+eExXinfaINFA \t\n\"\x82\x00";
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = Good + Good + Good;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % text.size();
      const char c = alphabet[random() % alphabet.size()];
      switch (random() % 3) {
        case 0: text[at] = c; break;
        case 1: text.insert(text.begin() + static_cast<long>(at), c); break;
        default: text.erase(at, 1); break;
      }
    }
    ASSERT_EQ(directReads(text), plainReads(text)) << text;
    ++compared;
  }
  EXPECT_EQ(compared, 3000);
}

}  // namespace
