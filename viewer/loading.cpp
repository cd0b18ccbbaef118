// Start-up loading of the shared files and the derived tables (code pages, colours).
#include <algorithm>
#include <cstdio>
#include <new>

#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "marketdb/settings.h"
#include "platform/text/cp932.h"
#include "viewer/tchart.h"

namespace viewer {

namespace {

constexpr int WeeklyBars = 150;

template <typename T>
std::unique_ptr<T[]> zeroFilled(int count) {
  return std::unique_ptr<T[]>(new T[static_cast<std::size_t>(count)]());
}

// A value the charts cannot work with (a damaged file) is replaced by the item's default, so
// that no chart divides by zero or indexes outside its arrays.
int sanePeriod(int number, int value) {
  const marketdb::SettingItem* item = marketdb::findSettingItem(number);
  if (!item) return value;
  return value < item->minimum || value > item->maximum ? item->defaultValue : value;
}

}  // namespace

void TChart::applySettings(const marketdb::SettingsFile& win) {
  for (int i = 0; i < 19; ++i) colours[i].number = win.colours[i];
  databaseKind = win.databaseKind;
  for (int i = 0; i < 3; ++i) background[i] = win.background[i];
  for (int i = 0; i < 10; ++i) ratios[i] = win.weights[i];
  peakSign = win.peakSign;
  std::copy(win.codes, win.codes + 120, codes);
}

std::function<void(const std::string&)> TChart::waitNotice() {
  // The window cannot paint while its paint waits: the line goes to the standard error.
  return [](const std::string& text) {
    std::fprintf(stderr, "%s\n", pelinor::text::toUtf8(text).c_str());
  };
}

void TChart::loadSharedFiles() {
  // Defaults, in force for every file that is missing.
  viewMode = 9;
  menuCategory = 10;
  listPosition = 0;
  std::fill(recentCodes, recentCodes + 7, marketdb::NoStockCode);
  recentWrite = 0;
  firstPaint = 0;
  menuShown = 1;

  marketdb::SystemFile sys;
  marketdb::applyDefaults(sys, settingsImage);
  applySettings(settingsImage);
  std::copy(sys.periods, sys.periods + 16, periods);

  const marketdb::FolderKind folder = marketdb::folderKind();
  wideDatabase = folder.kind == marketdb::DatabaseKind::Wide;
  layout = &marketdb::openLayout();

  // A folder holding both kinds of database gets one message, and none of its files is read:
  // the screens start as in an empty folder.
  const std::string& unsupported = folder.refusal;
  if (!unsupported.empty()) {
    startupMessages.emplace_back(unsupported, marketdb::fileCaption());
    try {
      table = std::make_unique<marketdb::StockTable>();
      table->kcodeidx[0] = marketdb::StockCodeEnd;
    } catch (const std::bad_alloc&) {
      table.reset();
    }
    stockCount = 0;
    allocateArrays();
    computeCodePages();
    convertColours();
    return;
  }

  // A folder without any of the files gets one message that says where the program looked and
  // how a database is made, instead of one message per missing file.
  const bool noDatabase = !wideDatabase && marketdb::noDatabaseInFolder();
  if (noDatabase)
    startupMessages.emplace_back(marketdb::noDatabaseMessage(), marketdb::fileCaption());
  // A missing file, or a wide file this program does not read (its message names the file and
  // the line), leaves the defaults in force.
  auto report = [this, noDatabase](marketdb::FileStatus status, const char* fileName) {
    if (noDatabase && status == marketdb::FileStatus::Missing) return;
    startupMessages.emplace_back(marketdb::fileStatusMessage(status, fileName),
                                 marketdb::fileCaption());
  };

  // The files are read as one committed state: no change runs while they are read. An
  // interrupted change of either program is undone before anything is read.
  // Temporary files that writers which died left behind are removed first.
  const marketdb::Recovery recovery = marketdb::recoverDatabase(waitNotice());
  if (recovery.needsSaying()) startupMessages.emplace_back(recovery.message, marketdb::fileCaption());
  marketdb::DatabaseRead reading;
  const marketdb::Recovery& late = reading.acquire(waitNotice());
  if (late.needsSaying()) startupMessages.emplace_back(late.message, marketdb::fileCaption());

  // pelinoru.sys: store state, colour numbers (provisional), periods.
  if (const marketdb::FileStatus status = marketdb::readSystemFile(sys);
      status != marketdb::FileStatus::Ok) {
    report(status, layout->systemFile);
  } else {
    lastStoreDate = sys.lastStoreDate;
    storePosition = sys.storePosition;
    for (int i = 0; i < 19; ++i) colours[i].number = sys.colours[i];
    for (int i = 0; i < 16; ++i) periods[i] = sanePeriod(20 + i, sys.periods[i]);
    if (storePosition < 0 || storePosition >= marketdb::HistoryDays) storePosition = 0;
  }

  // pelinoru.win: the colour numbers in force, line 4 and the code lists.
  if (const marketdb::FileStatus status = marketdb::readSettingsFile(settingsImage, 12);
      status != marketdb::FileStatus::Ok) {
    report(status, layout->settingsFile);
    // Should the file be written later (watch list), it carries the colours in force.
    for (int i = 0; i < 19; ++i) settingsImage.colours[i] = colours[i].number;
  } else {
    applySettings(settingsImage);
  }

  // pelinoru.idx.
  try {
    table = std::make_unique<marketdb::StockTable>();
  } catch (const std::bad_alloc&) {
    table.reset();
  }
  if (table) {
    table->kcodeidx[0] = marketdb::StockCodeEnd;
    if (const marketdb::FileStatus status = marketdb::readStockTable(*table);
        status != marketdb::FileStatus::Ok) {
      report(status, layout->indexFile);
      table->count = 0;
      table->kcodeidx[0] = marketdb::StockCodeEnd;
    }
    stockCount = table->count;
  }

  // pelinoru.dat stays open for the lifetime of the window. Without it every stock shows an
  // empty history; the arrays are allocated all the same so that every screen can draw.
  if (!priceFile.openForReading()) report(marketdb::FileStatus::Missing, layout->priceFile);

  allocateArrays();
  computeCodePages();
  convertColours();
}

void TChart::allocateArrays() {
  try {
    if (!table) throw std::bad_alloc();
    const int days = marketdb::HistoryDays;
    dates = zeroFilled<std::int32_t>(days);
    opens = zeroFilled<int>(days);
    highs = zeroFilled<int>(days);
    lows = zeroFilled<int>(days);
    closes = zeroFilled<int>(days);
    changes = zeroFilled<int>(days);
    volumes = zeroFilled<float>(days);
    exactVolumes = zeroFilled<double>(days);
    for (auto& w : weekly) w = zeroFilled<int>(WeeklyBars);
    upperArea = zeroFilled<int>(setting(35) + 2);
    maValue1 = zeroFilled<int>(days);
    maValue2 = zeroFilled<int>(days);
    maValue3 = zeroFilled<int>(days);
    maDeviation1 = zeroFilled<int>(days);
    maDeviation2 = zeroFilled<int>(days);
    maDeviation3 = zeroFilled<int>(days);
    indicator1 = zeroFilled<int>(days);
    indicator2 = zeroFilled<int>(days);
    indicator3 = zeroFilled<int>(days);
    indicator4 = zeroFilled<int>(days);
    signTotal = zeroFilled<int>(days);
    arraysReady = true;
  } catch (const std::bad_alloc&) {
    arraysReady = false;
    priceFile.close();
    startupMessages.emplace_back(SJ("メモリが確保できません"), SJ("空きメモリ状況"));
  }
}

void TChart::computeCodePages() {
  static constexpr int bounds[10] = {1000, 2000, 4000, 5100, 5900, 6500, 7000, 8000, 8300, 8800};
  std::copy(bounds, bounds + 10, pageBound);
  if (databaseKind != 0) {
    pageBound[6] = 7500;
    pageBound[9] = 9700;
  }
  // Bounds the pass never reaches start behind the last stock.
  std::fill(pageStart, pageStart + 11, stockCount);
  int j = 0;
  for (int i = 0; i < stockCount && j < 10; ++i) {
    // In code order, so that a code with letters falls on the page of its digits' neighbours.
    if (table->kcodeidx[static_cast<std::size_t>(i)] >= marketdb::codeFromNumber(pageBound[j])) {
      pageStart[j] = i;
      ++j;
    }
  }
  pageStart[10] = stockCount;
}

void TChart::convertColours() {
  for (ColourSetting& c : colours) marketdb::setpal(c.number, c.red, c.green, c.blue);
}

}  // namespace viewer
