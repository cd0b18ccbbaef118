// The daily store: one daily price file into the database files of the working directory.
//
// The whole file is read and checked before anything is written, so a refused file leaves all
// four files as they were. A stored file writes every day record into pelinoru.dat (new record
// slots initialised first), flushes it, and then replaces pelinoru.idx and pelinoru.sys, all as
// one change under the writer lock (marketdb/journal.h): a crash or a failed write leaves the
// database as it was before the file.
//
// Several files are stored in groups: the files of a group are all read and checked, their
// records written and flushed once, and pelinoru.idx and pelinoru.sys replaced once, as one
// change. What the store shows for a group is passed on only once the group is stored.
//
// What the store shows goes to a StoreOutput: the window draws each line at its place, the
// batch command prints it.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/tdc.h"

namespace dbprogram {

enum class StoreLineKind {
  Progress,   // "格納中..." at each new date
  CodeEcho,   // the code of the line being stored
  Skipped,    // a line that is not stored while the store goes on (the code is named)
  Refusal,    // the file is refused: nothing was written
  Completed,  // the store finished
};

struct StoreLine {
  StoreLineKind kind = StoreLineKind::Progress;
  std::string text;  // CP932, without a line break
  COLORREF colour = 0;
  int x = 0;
  int y = 0;
  bool opaque = true;  // the store draws every line over the previous one
};

class StoreOutput {
 public:
  virtual ~StoreOutput() = default;
  virtual void line(const StoreLine& line) = 0;
  virtual void bell() = 0;
  // Whether the code echo lines (StoreLineKind::CodeEcho) are wanted at all; when not, they are
  // neither made nor passed on.
  virtual bool wantsCodeEchoes() const { return true; }
  // A data file that cannot be read or written; the store stops after it and the window is
  // asked to close.
  virtual void fileMessage(const std::string& textCp932, const std::string& captionCp932) = 0;
};

enum class StoreResult {
  Stored,   // the database holds the file's days
  Refused,  // the file was refused; no database file was changed
  Failed,   // a database file was missing or could not be written
};

StoreResult storeDailyFile(const std::string& path, StoreOutput& out);

// Files stored as one change at most.
constexpr int StoreGroupFiles = 32;

struct StoreRun {
  StoreResult result = StoreResult::Stored;  // of the last file tried
  int storedFiles = 0;                       // the first storedFiles paths are stored
};

// Stores the files in order, in groups of at most groupFiles files; stops at the first file
// that is refused or fails (the files of its group before it are stored).
StoreRun storeDailyFiles(const std::vector<std::string>& paths, StoreOutput& out,
                         int groupFiles = StoreGroupFiles);

// Whether a daily file's name (its folders are ignored) begins with the letter of the database
// kind: W for kind 0, N for kind 1.
bool dailyFileMatchesKind(const std::string& path, int databaseKind);

// The refusal of a daily file of the other market family (CP932), shown red at (0, 112).
const std::string& otherMarketMessage();

// Screen places of the store's lines.
constexpr int StoreStatusY = 112;   // progress, missing file, date refusal
constexpr int StoreCodeY = 144;     // code echo, completion, echo of a malformed line
constexpr int StorePriceSkipY = 176;
constexpr int StoreFullSkipY = 192;
constexpr int StoreMalformedY = 176;

}  // namespace dbprogram
