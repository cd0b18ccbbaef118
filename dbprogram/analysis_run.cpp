// The analysis run over both market groups and the ranking file texts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "dbprogram/analysis.h"
#include "marketdb/block_reader.h"
#include "marketdb/index_check.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;

struct Candidate {
  float code = 0;
  int recordSlot = 0;
  int section = 0;
  char name[7] = {};
};

bool inGroup(int section, int group) { return group == 1 ? section < 3 : section > 2; }

// The stocks of pelinoru.idx, in file order. A line that does not hold all six values is passed
// over.
bool readCandidates(std::vector<Candidate>& out) {
  std::ifstream in(marketdb::IndexFileName, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    int deleted = 0;
    int section = 0;
    float code = 0;
    char name[15] = {};
    int slot = 0;
    int watched = 0;
    if (std::sscanf(line.c_str(), "%d %d %f %14s %d %d", &deleted, &section, &code, name, &slot,
                    &watched) != 6 ||
        !std::isfinite(code))
      continue;
    Candidate c;
    c.code = code;
    c.recordSlot = slot;
    c.section = section;
    std::memcpy(c.name, name, 6);  // the first six bytes, even inside a double-byte character
    c.name[6] = '\0';
    out.push_back(c);
  }
  return true;
}

bool codeOrder(const RankingRow& a, const RankingRow& b) { return fnc1(a, b) < 0; }

}  // namespace

const std::string& groupLabel(int group) {
  return group == 2 ? SJ("東証２部（大証外国）") : SJ("東証１部（店頭）");
}

std::string rankingTitle(float comparisonDate, float lastStoreDate) {
  return format(SJ("［ペリノ改Ｃ］ 指定は%06gと%06g本日比較\n\n").c_str(),
                static_cast<double>(comparisonDate), static_cast<double>(lastStoreDate));
}

const std::string& rankingHeader() {
  return SJ("順位 逆位 ｺｰﾄﾞ 銘柄名  終値  上率  出変  RCI3  ｶｲﾘ2  sｻｲﾝ  戻率  ﾚﾝｼﾞ  指定\n\n");
}

std::string rankingLine(int rank, int reverseRank, const RankingRow& row) {
  char name[7] = {};
  std::memcpy(name, row.name, 6);
  return format("%4d %4d %4g %6s %5d%6.1f%6.1f%6.1f%6.1f %6.1f%6.1f%6.1f%6.1f\n", rank, reverseRank,
                static_cast<double>(row.code), name, row.close, row.riseRate / 10.0,
                row.volumeChange / 10.0, row.rci3 / 10.0, row.deviation2 / 10.0,
                static_cast<double>(row.sign), row.rebound / 10.0, row.range / 10.0,
                row.sinceDate / 10.0);
}

std::string rankingFileText(const std::string& title, const std::string& header,
                            const RankingRow* rows, int count) {
  std::string text = title + header;
  for (int i = 0; i < count; ++i) text += rankingLine(i + 1, count - i, rows[i]);
  return text;
}

AnalysisOutcome runAnalysis(float comparisonDate, marketdb::SystemFile& sys,
                            marketdb::SettingsFile& win, AnalysisReporter& reporter) {
  using marketdb::FileStatus;
  AnalysisOutcome outcome;
  reporter.started();
  if (marketdb::readSystemFile(sys) == FileStatus::Missing) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::SystemFileName),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::NoSystemFile;
    return outcome;
  }
  if (marketdb::readSettingsFile(win, 4) == FileStatus::Missing) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::SettingsFileName),
                         marketdb::fileCaption());
    outcome.settingsMissing = true;
  }
  const AnalysisSettings settings = AnalysisSettings::from(sys, win);
  const int latest = sys.storePosition;
  if (latest < 0 || latest >= marketdb::HistoryDays) {
    reporter.warning(format(SJ("pelinoru.sys の格納位置 %d が範囲外のため分析できません").c_str(),
                            latest));
    outcome.result = AnalysisResult::Failed;
    return outcome;
  }
  // A damaged index would leave stocks out, or read other stocks' blocks, without a word.
  if (const marketdb::IndexCheck index = marketdb::checkIndexFile(); !index.ok) {
    reporter.warning(index.message);
    outcome.result = AnalysisResult::Failed;
    return outcome;
  }

  // pelinoru.idx is read once; each pass takes the stocks of its group from it.
  std::vector<Candidate> stocks;
  if (!readCandidates(stocks)) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::IndexFileName),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::Failed;
  }
  // pelinoru.dat is opened once for both passes, every block read into one buffer.
  marketdb::BlockReader prices;
  if (outcome.result == AnalysisResult::Completed && !prices.open()) {
    reporter.fileMessage(marketdb::missingFileMessage(marketdb::PriceFileName),
                         marketdb::fileCaption());
    outcome.result = AnalysisResult::Failed;
  }
  auto history = std::make_unique<marketdb::StockHistory>();
  for (int group = 1; group <= 2 && outcome.result == AnalysisResult::Completed; ++group) {
    std::vector<Candidate> candidates;
    for (const Candidate& c : stocks)
      if (inGroup(c.section, group)) candidates.push_back(c);

    std::vector<RankingRow> rows;
    rows.reserve(std::min<std::size_t>(candidates.size(), MaxGroupStocks));
    int listLength = static_cast<int>(candidates.size());
    bool truncated = false;
    for (const Candidate& c : candidates) {
      if (static_cast<int>(rows.size()) == MaxGroupStocks) {
        truncated = true;
        break;
      }
      // A block the file does not hold reads as empty days: such a stock was not stored.
      prices.readHistory(c.recordSlot, *history);
      if (!storedOnLatestDay(*history, latest, sys.lastStoreDate)) {
        --listLength;
        continue;
      }
      RankingRow row;
      row.code = c.code;
      row.recordSlot = c.recordSlot;
      std::memcpy(row.name, c.name, sizeof row.name);
      analyseStock(*history, latest, comparisonDate, settings, row);
      rows.push_back(row);
      reporter.progress(group, static_cast<int>(rows.size()), listLength);
    }

    std::stable_sort(rows.begin(), rows.end(), codeOrder);
    const std::string text =
        rankingFileText(rankingTitle(comparisonDate, sys.lastStoreDate), rankingHeader(),
                        rows.data(), static_cast<int>(rows.size()));
    if (!marketdb::replaceFileAtomically(rankingFileName(group), text)) {
      reporter.fileMessage(std::string(rankingFileName(group)) + SJ(" がOPENできません"),
                           SJ("ﾌｧｲﾙ状況"));
      outcome.result = AnalysisResult::Failed;
      outcome.writeFailed = true;
      break;
    }
    if (truncated) {
      outcome.truncated = true;
      reporter.warning(groupLabel(group) +
                       format(SJ("の銘柄数が%dを超えたため、先頭の%d銘柄だけ分析しました").c_str(),
                              MaxGroupStocks, MaxGroupStocks));
    }
    reporter.groupDone(group, static_cast<int>(rows.size()), listLength);
  }
  reporter.finished(SJ("分析終了しました。"));
  return outcome;
}

}  // namespace dbprogram
