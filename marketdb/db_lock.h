// One writer at a time: an exclusive flock on pelinoru.lck in the database folder, held around
// every read-modify-write of the database files. Readers never take it. The holder writes its
// program name and process id into the file, so that a writer that is kept out can say who
// holds the database.
#pragma once

#include <chrono>
#include <string>

namespace marketdb {

constexpr const char* LockFileName = "pelinoru.lck";

// How long a second writer waits for the lock before it gives up.
constexpr std::chrono::milliseconds DefaultLockWait{3000};

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

  Result acquire(std::chrono::milliseconds wait = DefaultLockWait);
  void release();
  bool held() const { return fd_ >= 0; }

  // After Busy: who holds the lock, as its holder wrote it ("pelinorx pid 1234"), possibly empty.
  const std::string& holder() const { return holder_; }
  // The message of the last failed acquire (CP932), naming the holder when Busy.
  std::string refusalMessage() const;

 private:
  int fd_ = -1;
  Result last_ = Result::Acquired;
  std::string holder_;
};

// The name written into the lock file by this process (default: the program's own name).
void setLockOwnerName(const std::string& name);

}  // namespace marketdb
