// One writer at a time, and no reader while it writes: byte-range locks (open file description
// locks) on pelinoru.lck in the database folder. Byte 1 is the database itself: a writer holds
// it exclusive around every read-modify-write of the database files, a reader holds it shared
// while it reads them. Byte 0 is the gate in front of it: a writer holds it exclusive from the
// moment it starts waiting, and a reader passes through it (shared) before it takes byte 1, so
// that readers coming one after another cannot keep a waiting writer out for ever.
//
// The writer writes its program name and process id into the file, so that whoever is kept
// out can say who holds the database.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace marketdb {

constexpr const char* LockFileName = "pelinoru.lck";

// How long a second writer waits for the lock before it gives up.
constexpr std::chrono::milliseconds DefaultLockWait{3000};
// How long a writer that holds the gate waits at least for the readers already inside: they
// finish in the time one analysis takes, and no new reader gets past the gate meanwhile.
constexpr std::chrono::milliseconds ReaderDrainWait{60000};
// How long a reader waits for a writer before it says that it waits.
constexpr std::chrono::milliseconds ReaderNoticeAfter{500};
// A wait without a limit.
constexpr std::chrono::milliseconds WaitForever = std::chrono::milliseconds::max();

// Called once when a wait lasts longer than a moment, with the holder's message (CP932).
using WaitNotice = std::function<void(const std::string&)>;

class DatabaseLock {
 public:
  enum class Result {
    Acquired,
    Busy,    // another writer held the lock for the whole wait
    Failed,  // the lock file could not be created or opened
  };

  DatabaseLock() = default;
  ~DatabaseLock();
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;

  // The writer's lock: `wait` for another writer, and at least `readersWait` (once the gate is
  // held) for the readers inside to finish.
  Result acquire(std::chrono::milliseconds wait = DefaultLockWait, const WaitNotice& notice = {},
                 std::chrono::milliseconds readersWait = std::chrono::milliseconds(0));
  // The reader's lock: waits as long as a writer holds or awaits the database.
  Result acquireShared(const WaitNotice& notice = {});
  void release();
  bool held() const { return fd_ >= 0; }

  // After Busy: who holds the lock, as its holder wrote it ("pelinorx pid 1234"), possibly empty.
  const std::string& holder() const { return holder_; }
  // The message of the last failed acquire (CP932), naming the holder when Busy.
  std::string refusalMessage() const;

 private:
  int fd_ = -1;
  Result last_ = Result::Acquired;
  bool readersHeld_ = false;  // the last Busy came from readers, not from a writer
  std::string holder_;
};

// The message a reader shows while it waits for the writer named in the lock file (CP932).
std::string waitingForWriterMessage(const std::string& holder);

// The name written into the lock file by this process (default: the program's own name).
void setLockOwnerName(const std::string& name);

}  // namespace marketdb
