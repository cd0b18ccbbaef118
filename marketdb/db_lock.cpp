#include "marketdb/db_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/text/cp932.h"

namespace marketdb {

namespace {

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

}  // namespace

void setLockOwnerName(const std::string& name) { ownerName() = name; }

DatabaseLock::~DatabaseLock() { release(); }

DatabaseLock::Result DatabaseLock::acquire(std::chrono::milliseconds wait) {
  release();
  holder_.clear();
  const int fd = ::open(LockFileName, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return last_ = Result::Failed;

  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      ::close(fd);
      return last_ = Result::Failed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      holder_ = readHolder(fd);
      ::close(fd);
      return last_ = Result::Busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Who holds the lock, for a writer that is kept out. Not needed for the lock itself, so a
  // failure to write it is not an error.
  const std::string text = ownerName() + " pid " + std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, text.data(), text.size(), 0);
  fd_ = fd;
  return last_ = Result::Acquired;
}

void DatabaseLock::release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor of the open file releases the flock
  fd_ = -1;
}

std::string DatabaseLock::refusalMessage() const {
  if (last_ == Result::Failed) return std::string(LockFileName) + SJ(" が作成できません");
  const std::string who = holder_.empty() ? SJ("他のﾌﾟﾛｸﾞﾗﾑ") : holder_;
  return SJ("データベースは ") + who +
         SJ(" が書き込み中です。しばらくしてからやり直してください");
}

}  // namespace marketdb
