#include "marketdb/db_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/text/cp932.h"

namespace marketdb {

namespace {

constexpr off_t GateByte = 0;
constexpr off_t DatabaseByte = 1;

std::string& ownerName() {
  static std::string name = program_invocation_short_name ? program_invocation_short_name : "";
  return name;
}

std::string readHolder(int fd) {
  char buf[128] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return {};
  std::string text(buf, static_cast<std::size_t>(n));
  // Only the first line, and only printable ASCII of it: the file may hold anything.
  std::string out;
  for (char c : text) {
    if (c == '\n') break;
    if (c >= 0x20 && c < 0x7F) out += c;
  }
  return out;
}

enum class Try { Locked, Held, Error };

// One attempt at a lock of one byte, without waiting. Locks of an open file description
// belong to the descriptor, not to the process, so two objects in one process exclude each
// other as two processes do.
Try tryLock(int fd, off_t byte, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return Try::Locked;
  return errno == EAGAIN || errno == EACCES || errno == EINTR ? Try::Held : Try::Error;
}

void unlock(int fd, off_t byte) { (void)tryLock(fd, byte, F_UNLCK); }

// Waits in short steps until `attempt` holds, the deadline passes (false) or an error.
template <typename Attempt>
Try waitFor(Attempt attempt, std::chrono::milliseconds wait, int fd, const WaitNotice& notice,
            bool& noticed) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const Try t = attempt();
    if (t != Try::Held) return t;
    const auto waited = std::chrono::steady_clock::now() - start;
    if (wait != WaitForever && waited >= wait) return Try::Held;
    if (notice && !noticed && waited >= ReaderNoticeAfter) {
      noticed = true;
      notice(waitingForWriterMessage(readHolder(fd)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

void setLockOwnerName(const std::string& name) { ownerName() = name; }

DatabaseLock::~DatabaseLock() { release(); }

DatabaseLock::Result DatabaseLock::acquire(std::chrono::milliseconds wait,
                                           const WaitNotice& notice,
                                           std::chrono::milliseconds readersWait) {
  release();
  holder_.clear();
  const int fd = ::open(LockFileName, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return last_ = Result::Failed;

  // The gate first (no new reader gets in), then the database once the readers in it are done;
  // both within the one wait.
  const auto deadline = wait == WaitForever ? std::chrono::steady_clock::time_point::max()
                                            : std::chrono::steady_clock::now() + wait;
  bool noticed = false;
  readersHeld_ = false;
  Try t = waitFor([&] { return tryLock(fd, GateByte, F_WRLCK); }, wait, fd, notice, noticed);
  if (t == Try::Locked) {
    readersHeld_ = true;  // until the database byte is taken, readers are what keeps it out
    const auto left = wait == WaitForever
                          ? WaitForever
                          : std::max(readersWait,
                                     std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::max(deadline - std::chrono::steady_clock::now(),
                                                  std::chrono::steady_clock::duration::zero())));
    t = waitFor([&] { return tryLock(fd, DatabaseByte, F_WRLCK); }, left, fd, notice, noticed);
  }
  if (t != Try::Locked) {
    if (t == Try::Held) holder_ = readHolder(fd);
    ::close(fd);  // closing the descriptor releases whatever it holds
    return last_ = t == Try::Held ? Result::Busy : Result::Failed;
  }
  // Who holds the lock, for whoever is kept out. Not needed for the lock itself, so a failure
  // to write it is not an error.
  const std::string text = ownerName() + " pid " + std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, text.data(), text.size(), 0);
  readersHeld_ = false;
  fd_ = fd;
  return last_ = Result::Acquired;
}

DatabaseLock::Result DatabaseLock::acquireShared(const WaitNotice& notice) {
  release();
  holder_.clear();
  const int fd = ::open(LockFileName, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return last_ = Result::Failed;
  bool noticed = false;
  const Try t = waitFor(
      [&] {
        const Try gate = tryLock(fd, GateByte, F_RDLCK);
        if (gate != Try::Locked) return gate;
        const Try db = tryLock(fd, DatabaseByte, F_RDLCK);
        unlock(fd, GateByte);
        return db;
      },
      WaitForever, fd, notice, noticed);
  if (t != Try::Locked) {
    ::close(fd);
    return last_ = Result::Failed;
  }
  fd_ = fd;
  return last_ = Result::Acquired;
}

void DatabaseLock::release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor of the open file releases its locks
  fd_ = -1;
}

std::string DatabaseLock::refusalMessage() const {
  if (last_ == Result::Failed) return std::string(LockFileName) + SJ(" が作成できません");
  if (readersHeld_)
    return SJ("データベースは他のﾌﾟﾛｸﾞﾗﾑが読み込み中です。しばらくしてからやり直してください");
  const std::string who = holder_.empty() ? SJ("他のﾌﾟﾛｸﾞﾗﾑ") : holder_;
  return SJ("データベースは ") + who +
         SJ(" が書き込み中です。しばらくしてからやり直してください");
}

std::string waitingForWriterMessage(const std::string& holder) {
  const std::string who = holder.empty() ? SJ("他のﾌﾟﾛｸﾞﾗﾑ") : holder;
  return SJ("データベースは ") + who + SJ(" が書き込み中です。終わるまで待ちます");
}

}  // namespace marketdb
