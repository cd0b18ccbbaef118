// All-or-nothing changes of the database files, with a rollback journal.
//
// A change takes the writer lock (db_lock.h), then saves into pelinoru.jnl what it is about to
// overwrite: the original bytes of the regions of pelinoru.dat, the original size of that file,
// and the whole texts of the files it replaces (pelinoru.idx, .sys, .win). The journal also
// names the database it was written for: the state every file of the database had when the
// change began (sizes, and checksums of the texts). Every part of it carries its own checksum.
// It is written under a temporary name, flushed and renamed, so a pelinoru.jnl is always
// complete. Then pelinoru.dat is written in place and flushed, the new texts are written to
// temporary files and flushed, an end record naming the state after the change is appended to
// the journal and flushed, the texts are renamed over the old ones, and the journal is deleted:
// that deletion is the commit. Each replaced text's previous generation is kept as NAME.bak.
//
// Whoever finds a journal (the next change, or a reader before it reads anything) writes it
// back under the writer lock: the regions restored, pelinoru.dat cut back to its original size,
// the texts restored; but only when the files it finds are the ones the journal was written
// for (in the state before the change or, after the end record, part way to the state after
// it). A journal that does not match is moved aside as pelinoru.jnl.unmatched and nothing is
// rolled back; a damaged one has only its verified parts written back and is moved aside as
// pelinoru.jnl.damaged, and no change is made while that file is there. Temporary files of
// writers that died are removed too.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "marketdb/db_lock.h"
#include "marketdb/files.h"

namespace marketdb {

constexpr const char* JournalFileName = "pelinoru.jnl";
// Where a journal is moved when it is damaged (no change is made while one is there) or does
// not match the files it was found with.
constexpr const char* DamagedJournalName = "pelinoru.jnl.damaged";
constexpr const char* UnmatchedJournalName = "pelinoru.jnl.unmatched";

// The files of one database: a journal records the state of each of them when its change
// began, and is written back only over that database. The price file is binary and is
// recorded by its size; the texts by size and checksum.
struct DatabaseFiles {
  const char* kind = "classic";
  std::vector<const char*> texts = {SystemFileName, SettingsFileName, IndexFileName};
  const char* prices = PriceFileName;
  const char* journal = JournalFileName;
};

// Bytes of pelinoru.dat that a change overwrites.
struct PriceRegion {
  std::int64_t offset = 0;
  std::int64_t length = 0;
  // The region's bytes as they stand in the file, when the caller has read them already (the
  // journal then takes them instead of reading the file again); nullptr: the journal reads them.
  const unsigned char* original = nullptr;
};

// A part of pelinoru.dat to read: `size` bytes at `offset` into `data`.
struct PriceRead {
  std::int64_t offset = 0;
  unsigned char* data = nullptr;
  std::size_t size = 0;
};

// A text file a change replaces, with its new contents.
struct TextFileChange {
  const char* fileName = nullptr;
  std::string contents;
};

enum class RecoveryStatus {
  Clean,       // no interrupted change
  RolledBack,  // an interrupted change was undone
  Busy,        // a writer holds the lock (its change is in progress): nothing was done
  Failed,      // the journal could not be written back; it is kept for the next attempt
  Unmatched,   // the journal was not written for these files: moved aside, nothing undone
  Damaged,     // the journal was damaged: its verified parts undone, moved aside
};

struct Recovery {
  RecoveryStatus status = RecoveryStatus::Clean;
  std::string message;  // CP932, for every status but Clean and RolledBack
  bool needsSaying() const { return !message.empty(); }
};

// For a program before it reads anything: undoes an interrupted change when there is one.
// Takes the writer lock only when a journal is present, and then waits for it (saying so
// through `notice` after a moment).
Recovery recoverDatabase(const WaitNotice& notice = {});

// Held by a reader while it reads the database files, so that it sees only committed states:
// no change runs meanwhile. Acquiring it waits as long as a change runs (saying so through
// `notice` after a moment) and first undoes an interrupted change under the writer lock; the
// recovery it made is kept for the caller to report.
class DatabaseRead {
 public:
  DatabaseRead() = default;
  explicit DatabaseRead(const WaitNotice& notice) { acquire(notice); }
  const Recovery& acquire(const WaitNotice& notice = {});
  void release() { lock_.release(); }
  bool held() const { return lock_.held(); }
  const Recovery& recovery() const { return recovery_; }

 private:
  DatabaseLock lock_;
  Recovery recovery_;
};

// A message when a damaged journal set aside keeps changes out (CP932), or empty.
std::string damagedJournalRefusal();

// One change of the database files. Every failure leaves the files as they were before the
// change (undone at once, or by the next opener when even that fails) and sets message().
class DatabaseChange {
 public:
  // A change of the database of the working folder, with the file names of its kind.
  DatabaseChange();
  explicit DatabaseChange(DatabaseFiles files) : files_(std::move(files)) {}
  ~DatabaseChange();  // undoes a change that was begun and not committed
  DatabaseChange(const DatabaseChange&) = delete;
  DatabaseChange& operator=(const DatabaseChange&) = delete;

  // Takes the writer lock, then undoes an interrupted change and removes stale temporary files.
  // False when the lock is held elsewhere, the journal cannot be written back or a damaged
  // journal was set aside (the message says what to do). A journal that was set aside or only
  // partly written back on the way is reported by recovery().
  bool lock(std::chrono::milliseconds wait = DefaultLockWait);
  const Recovery& recovery() const { return recovery_; }

  // For the later parts of one command that commits in several changes: the .bak files keep
  // the generation from before the command (the first part made them) instead of the state
  // after the previous part.
  void keepBakGeneration(bool keep) { keepBak_ = keep; }

  // pelinoru.dat, opened read-write; false when it is missing. Reads beyond its end give zeros.
  bool openPrices();
  std::int64_t originalPriceSize() const { return originalSize_; }
  bool readPrices(std::int64_t offset, unsigned char* data, std::size_t size) const;
  // The same for many parts with few system calls: parts lying close together in the file are
  // read by one call, the bytes between them into a scratch buffer. Gives the same bytes as
  // readPrices for each part.
  bool readPricesGathered(std::vector<PriceRead> parts) const;

  // Journals the original bytes of the regions (the parts beyond the file's original end need
  // none: the file is cut back) and the current texts of the files to replace, and flushes it.
  bool begin(const std::vector<PriceRegion>& regions, const std::vector<const char*>& textFiles);
  bool writePrices(std::int64_t offset, const unsigned char* data, std::size_t size);
  // Starts flushing pelinoru.dat on a second thread after its last write, so that the disk
  // works while the caller makes the new texts; commit waits for it before any text is
  // replaced. Optional: commit starts it when it was not. False (rolled back) on failure.
  bool startPriceFlush();
  // Flushes pelinoru.dat, replaces the texts and deletes the journal. The new texts are written
  // to temporary files and flushed while pelinoru.dat is being flushed; they replace the old
  // ones only once pelinoru.dat is on disk.
  bool commit(const std::vector<TextFileChange>& texts);
  // begin and commit for a change of text files only.
  bool replaceTexts(const std::vector<TextFileChange>& texts);
  // Undoes what was written so far; false when the journal had to be kept.
  bool rollback();

  const std::string& message() const { return message_; }  // CP932
  // The file whose write failed (the message names it), or nullptr.
  const char* failedFile() const { return failedFile_; }

 private:
  bool fail(const char* fileName);
  // Appends the end record (the state after the change) to the journal and flushes it.
  bool writeEndRecord(const std::vector<TextFileChange>& texts);
  // Waits for the flush of pelinoru.dat; false when it failed.
  bool finishPriceFlush();
  // The file that could not be saved or written, or nullptr.
  const char* writeJournal(const std::vector<PriceRegion>& regions,
                           const std::vector<const char*>& textFiles);

  DatabaseFiles files_;
  DatabaseLock lock_;
  Recovery recovery_;
  bool keepBak_ = false;
  std::int64_t journalBytes_ = 0;
  int priceFd_ = -1;
  std::int64_t originalSize_ = 0;
  bool begun_ = false;
  bool committed_ = false;
  std::vector<std::string> bakLinks_;     // NAME.bak-new-PID made during commit
  std::vector<std::string> temporaries_;  // NAME.tmp-PID written during commit
  std::thread priceFlush_;
  bool priceFlushStarted_ = false;
  bool priceFlushOk_ = false;  // written by the flushing thread, read after it is joined
  std::string message_;
  const char* failedFile_ = nullptr;
};

// Test support: called before every write, flush, rename, link, unlink and truncation that a
// change or a recovery makes. Returning false makes that operation fail (as on a full disk).
// For whole programs, the environment variable PELINOR_FAULT_WRITE does the same: "fail:N" fails
// the N-th such operation of the process, "kill:N" ends the process with FaultKillStatus right
// after its N-th one.
using WriteHook = bool (*)(void* context);
void setWriteHook(WriteHook hook, void* context);
constexpr int FaultKillStatus = 86;

}  // namespace marketdb
