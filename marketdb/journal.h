// All-or-nothing changes of the database files, with a rollback journal.
//
// A change takes the writer lock (db_lock.h), then saves into pelinoru.jnl what it is about to
// overwrite: the original bytes of the regions of pelinoru.dat, the original size of that file,
// and the whole texts of the files it replaces (pelinoru.idx, .sys, .win). The journal carries a
// checksum of everything in it and is flushed to disk before the first overwrite. Then
// pelinoru.dat is written in place and flushed, the new texts are written to temporary files,
// flushed and renamed over the old ones, and the journal is deleted: that deletion is the commit.
// Each replaced text's previous generation is kept as NAME.bak.
//
// Whoever finds a journal whose checksum holds (the next change, or either program before it
// reads anything) writes it back under the lock: the regions restored, pelinoru.dat cut back to
// its original size, the texts restored; a journal that was not completed means nothing was
// overwritten yet and is only removed. Temporary files of writers that died are removed too.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "marketdb/db_lock.h"

namespace marketdb {

constexpr const char* JournalFileName = "pelinoru.jnl";

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
};

struct Recovery {
  RecoveryStatus status = RecoveryStatus::Clean;
  std::string message;  // CP932, for Failed
};

// For readers, before they read anything: undoes an interrupted change when there is one.
// Takes the lock only when a journal is present.
Recovery recoverDatabase();

// One change of the database files. Every failure leaves the files as they were before the
// change (undone at once, or by the next opener when even that fails) and sets message().
class DatabaseChange {
 public:
  DatabaseChange() = default;
  ~DatabaseChange();  // undoes a change that was begun and not committed
  DatabaseChange(const DatabaseChange&) = delete;
  DatabaseChange& operator=(const DatabaseChange&) = delete;

  // Takes the writer lock, then undoes an interrupted change and removes stale temporary files.
  // False when the lock is held elsewhere or the journal cannot be written back.
  bool lock(std::chrono::milliseconds wait = DefaultLockWait);

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

 private:
  bool fail(const char* fileName);
  // Waits for the flush of pelinoru.dat; false when it failed.
  bool finishPriceFlush();
  // The file that could not be saved or written, or nullptr.
  const char* writeJournal(const std::vector<PriceRegion>& regions,
                           const std::vector<const char*>& textFiles);

  DatabaseLock lock_;
  int priceFd_ = -1;
  std::int64_t originalSize_ = 0;
  bool begun_ = false;
  bool committed_ = false;
  std::vector<std::string> bakLinks_;  // NAME.bak-new-PID made during commit
  std::thread priceFlush_;
  bool priceFlushStarted_ = false;
  bool priceFlushOk_ = false;  // written by the flushing thread, read after it is joined
  std::string message_;
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
