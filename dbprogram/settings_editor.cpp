// The settings editor: shows every settings item and changes one at a time through the
// key-entry line ("item T value E"). Changes stay in the working copy (sys, win) until the
// user finishes with item 99, which writes pelinoru.win and pelinoru.sys.
#include <optional>
#include <string>

#include "dbprogram/entry_line.h"
#include "dbprogram/settings_editor_table.h"
#include "dbprogram/uchart.h"
#include "marketdb/journal.h"
#include "marketdb/layout.h"
#include "marketdb/settings.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

constexpr EntryRules SettingsEntry{.limit = 10, .letterT = true};

constexpr int ItemDefaults = 77;
constexpr int ValueDefaults = 77;
constexpr int ItemFinish = 99;

// Closes the editor, shows the file message and asks the window to close. Nothing after this
// may touch the window's state.
void fileFailure(UCHART& w, const std::string& message) {
  w.screenMode = 0;
  w.entryLength = 0;
  w.MessageBox(message, marketdb::fileCaption(), MB_OK);
  w.CloseWindow(0);
}

bool allDigits(const std::string& s) {
  for (char ch : s)
    if (ch < '0' || ch > '9') return false;
  return true;
}

int numberOf(const std::string& digits) {
  long long v = 0;
  for (char ch : digits) v = v * 10 + (ch - '0');  // at most 9 digits: no overflow
  return static_cast<int>(v);
}

struct Entry {
  int item;
  int value;
};

// "nT..." or "nnT...": the item number before the T and the digits after it (none = 0).
// Anything else, including a second T or a T in the item number, is not an entry; only item 99
// finishes whatever follows its T.
std::optional<Entry> parseEntry(const std::string& line) {
  std::size_t t;
  if (line.size() >= 2 && line[1] == 'T') {
    t = 1;
  } else if (line.size() >= 3 && line[2] == 'T') {
    t = 2;
  } else {
    return std::nullopt;
  }
  const std::string item = line.substr(0, t);
  const std::string value = line.substr(t + 1);
  if (!allDigits(item)) return std::nullopt;
  if (numberOf(item) == ItemFinish)
    return Entry{ItemFinish, allDigits(value) ? numberOf(value) : 0};
  if (!allDigits(value)) return std::nullopt;
  return Entry{numberOf(item), numberOf(value)};
}

// Items 25..28 must stay in non-decreasing order with the values currently held.
bool fitsNeighbours(const UCHART& w, int item, int value) {
  if (item < 25 || item > 28) return true;
  auto held = [&w](int n) { return marketdb::settingValue(w.sys, w.win, n); };
  if (item > 25 && value < held(item - 1)) return false;
  if (item < 28 && value > held(item + 1)) return false;
  return true;
}

// Applies one edit to the working copy; false when it is refused.
bool applyEdit(UCHART& w, int item, int value) {
  if (item == ItemDefaults) {
    if (value != ValueDefaults) return false;
    marketdb::applyDefaults(w.sys, w.win);
    return true;
  }
  const marketdb::SettingItem* def = marketdb::findSettingItem(item);
  if (!def) return false;
  if (value < 1) {
    if (!def->belowOneIsZero) return false;
    value = 0;
  }
  if (value < def->minimum || value > def->maximum) return false;
  if (!fitsNeighbours(w, item, value)) return false;
  marketdb::setSettingValue(w.sys, w.win, item, value);
  return true;
}

// Reads all of pelinoru.sys, then all of pelinoru.win, so the colour line of pelinoru.win is
// the one in force.
bool loadWorkingCopy(UCHART& w) {
  if (const marketdb::FileStatus status = marketdb::readSystemFile(w.sys); status != marketdb::FileStatus::Ok) {
    fileFailure(w, marketdb::fileStatusMessage(status, marketdb::openLayout().systemFile));
    return false;
  }
  if (const marketdb::FileStatus status = marketdb::readSettingsFile(w.win, 12); status != marketdb::FileStatus::Ok) {
    fileFailure(w, marketdb::fileStatusMessage(status, marketdb::openLayout().settingsFile));
    return false;
  }
  return true;
}

// Writes the edits: pelinoru.win from the working copy, then pelinoru.sys with its own store
// state and colour line and the edited periods, both as one change under the writer lock. Both
// files are read first, so that a missing file writes nothing.
// pelinoru.win's values that this screen does not edit (carried value, database kind, watch
// list and chart-link codes) are taken from the file as it stands now: the chart viewer may
// have registered a stock while the editor was open. While another program writes, the editor
// stays open with its edits and says so.
bool finishEditing(UCHART& w, TDC& dc) {
  marketdb::DatabaseChange change;
  if (!change.lock()) {
    w.ReportWriteFailure();
    Bell();
    drawText(dc, 0, 416, ColourError, change.message());
    return true;
  }
  marketdb::SystemFile sysNow = w.sys;
  if (const marketdb::FileStatus status = marketdb::readSystemFile(sysNow); status != marketdb::FileStatus::Ok) {
    w.ReportWriteFailure();
    fileFailure(w, marketdb::fileStatusMessage(status, marketdb::openLayout().systemFile));
    return false;
  }
  marketdb::SettingsFile winNow = w.win;
  if (const marketdb::FileStatus status = marketdb::readSettingsFile(winNow, 12); status != marketdb::FileStatus::Ok) {
    w.ReportWriteFailure();
    fileFailure(w, marketdb::fileStatusMessage(status, marketdb::openLayout().settingsFile));
    return false;
  }

  w.win.carried = winNow.carried;
  w.win.databaseKind = winNow.databaseKind;
  for (int i = 0; i < 120; ++i) w.win.codes[i] = winNow.codes[i];
  w.win.scratch = winNow.scratch;
  w.sys.reserved = sysNow.reserved;
  w.sys.lastStoreDate = sysNow.lastStoreDate;
  w.sys.referenceRecord = sysNow.referenceRecord;
  w.sys.storePosition = sysNow.storePosition;
  for (int i = 0; i < 19; ++i) w.sys.colours[i] = sysNow.colours[i];
  if (!change.replaceTexts(
          {{marketdb::openLayout().settingsFile, marketdb::formatSettingsFile(w.win)},
           {marketdb::openLayout().systemFile, marketdb::formatSystemFile(w.sys)}})) {
    w.ReportWriteFailure();
    fileFailure(w, change.message());
    return false;
  }

  drawText(dc, 0, 416, ColourError, SJ("設定終了しました"));
  w.screenMode = 0;
  w.entryLength = 0;

  // Lines 1 and 2 as they now stand in the file.
  marketdb::SettingsFile written = w.win;
  if (const marketdb::FileStatus status = marketdb::readSettingsFile(written, 4); status != marketdb::FileStatus::Ok) {
    fileFailure(w, marketdb::fileStatusMessage(status, marketdb::openLayout().settingsFile));
    return false;
  }
  w.win.carried = written.carried;
  for (int i = 0; i < 19; ++i) w.win.colours[i] = written.colours[i];
  return true;
}

}  // namespace

void UCHART::settingsEditor(TDC& dc) {
  selectScreenFont(dc);
  if (command == CmdSettings && !loadWorkingCopy(*this)) return;

  switch (applyEntryKey(*this, SettingsEntry)) {
    case EntryResult::Cleared:
      dc.FillRect(TRect{192, 383, 272, 401}, TBrush(RGB(0, 0, 0)));
      break;
    case EntryResult::Confirmed: {
      entryLength = 0;
      const std::optional<Entry> entry = parseEntry(entryText);
      if (!entry) {
        Bell();
        break;
      }
      settingItem = entry->item;
      settingValue = entry->value;
      if (settingItem == ItemFinish) {
        if (!finishEditing(*this, dc)) return;
      } else if (!applyEdit(*this, settingItem, settingValue)) {
        Bell();
      }
      break;
    }
    default:
      break;
  }

  refreshColourComponents(*this);
  drawSettingsTable(dc, *this);
}

}  // namespace dbprogram
