#include "marketdb/journal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

#include "marketdb/files.h"
#include "platform/text/cp932.h"

namespace marketdb {

namespace {

// ---------------------------------------------------------------------------------------------
// Writes, each passed through the test hook first.

WriteHook writeHook = nullptr;
void* writeHookContext = nullptr;

// The same for whole programs under test: PELINOR_FAULT_WRITE=fail:N makes the N-th write of the
// process fail, kill:N ends the process (status FaultKillStatus) right after its N-th write.
struct EnvironmentFault {
  bool active = false;
  bool kill = false;
  long n = 0;
  long count = 0;
};

EnvironmentFault& environmentFault() {
  static EnvironmentFault fault = [] {
    EnvironmentFault f;
    const char* spec = std::getenv("PELINOR_FAULT_WRITE");
    if (!spec) return f;
    const std::string text = spec;
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return f;
    const std::string mode = text.substr(0, colon);
    f.n = std::atol(text.c_str() + colon + 1);
    f.kill = mode == "kill";
    f.active = (mode == "kill" || mode == "fail") && f.n > 0;
    return f;
  }();
  return fault;
}

bool allowed() {
  EnvironmentFault& fault = environmentFault();
  if (fault.active) {
    ++fault.count;
    if (fault.kill && fault.count > fault.n) ::_exit(FaultKillStatus);
    if (!fault.kill && fault.count == fault.n) {
      errno = ENOSPC;
      return false;
    }
  }
  if (writeHook && !writeHook(writeHookContext)) {
    errno = ENOSPC;
    return false;
  }
  return true;
}

bool writeFully(int fd, const unsigned char* data, std::size_t size, std::int64_t offset) {
  if (!allowed()) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool flush(int fd) { return allowed() && ::fsync(fd) == 0; }
bool truncateTo(int fd, std::int64_t size) {
  return allowed() && ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}
bool renameFile(const std::string& from, const std::string& to) {
  return allowed() && ::rename(from.c_str(), to.c_str()) == 0;
}
bool linkFile(const std::string& from, const std::string& to) {
  return allowed() && ::link(from.c_str(), to.c_str()) == 0;
}
// A file that is already gone counts as removed.
bool removeFile(const std::string& name) {
  if (!allowed()) return false;
  return ::unlink(name.c_str()) == 0 || errno == ENOENT;
}

bool flushFolder() {
  const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  const bool ok = flush(dir);
  ::close(dir);
  return ok;
}

std::size_t readAt(int fd, unsigned char* data, std::size_t size, std::int64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

// The whole of a regular file; nothing when it does not exist; `unreadable` when it exists but
// cannot be read as a regular file.
std::optional<std::string> readWhole(const char* name, bool& unreadable) {
  unreadable = false;
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    unreadable = errno != ENOENT;
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    unreadable = true;
    return std::nullopt;
  }
  std::string text;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      unreadable = true;
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

std::string pidSuffix() { return std::to_string(static_cast<long>(::getpid())); }

// Writes `contents` to NAME.tmp-PID and flushes it, keeping the permissions of NAME.
bool writeTemporary(const std::string& name, const std::string& temp, const std::string& contents) {
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat old {};
  if (::stat(name.c_str(), &old) == 0 && S_ISREG(old.st_mode))
    (void)::fchmod(fd, old.st_mode & 07777);
  bool ok = writeFully(fd, reinterpret_cast<const unsigned char*>(contents.data()),
                       contents.size(), 0) &&
            flush(fd);
  if (::close(fd) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The journal file.
//
//   header  "PLNJRN01", int64 original size of pelinoru.dat (-1: not touched),
//           uint32 entry count, uint32 0, uint64 checksum of header bytes 0..23 and the body
//   entry   uint8 kind: 1 region   int64 offset, uint32 length, the bytes
//                       2 text     uint16 name length, name, uint64 length, the bytes
//                       3 absent   uint16 name length, name (the file did not exist)

constexpr char Magic[8] = {'P', 'L', 'N', 'J', 'R', 'N', '0', '1'};
constexpr std::size_t HeaderBytes = 32;
constexpr unsigned char KindRegion = 1;
constexpr unsigned char KindText = 2;
constexpr unsigned char KindAbsent = 3;

void putBytes(std::string& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint64_t getBytes(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint64_t{p[i]} << (8 * i);
  return v;
}

// FNV-1a, 64 bits.
std::uint64_t checksum(const unsigned char* data, std::size_t size, std::uint64_t h) {
  for (std::size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ULL;
  }
  return h;
}
constexpr std::uint64_t ChecksumSeed = 0xcbf29ce484222325ULL;

std::uint64_t journalChecksum(const std::string& journal) {
  const auto* p = reinterpret_cast<const unsigned char*>(journal.data());
  std::uint64_t h = checksum(p, 24, ChecksumSeed);
  return checksum(p + HeaderBytes, journal.size() - HeaderBytes, h);
}

struct JournalRegion {
  std::int64_t offset;
  std::string bytes;
};
struct JournalText {
  std::string name;
  bool existed;
  std::string contents;
};
struct ParsedJournal {
  std::int64_t originalSize = -1;
  std::vector<JournalRegion> regions;
  std::vector<JournalText> texts;
};

// The file names a journal may restore: the database's own text files only.
bool isDatabaseText(const std::string& name) {
  return name == SystemFileName || name == SettingsFileName || name == IndexFileName;
}

// False when the journal is not complete (or not ours): nothing was overwritten under it.
bool parseJournal(const std::string& j, ParsedJournal& out) {
  if (j.size() < HeaderBytes || std::memcmp(j.data(), Magic, sizeof Magic) != 0) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(j.data());
  if (getBytes(p + 24, 8) != journalChecksum(j)) return false;
  out.originalSize = static_cast<std::int64_t>(getBytes(p + 8, 8));
  const std::uint64_t count = getBytes(p + 16, 4);
  std::size_t at = HeaderBytes;
  auto need = [&](std::size_t n) { return j.size() - at >= n; };
  for (std::uint64_t e = 0; e < count; ++e) {
    if (!need(1)) return false;
    const unsigned char kind = p[at++];
    if (kind == KindRegion) {
      if (!need(12)) return false;
      const auto offset = static_cast<std::int64_t>(getBytes(p + at, 8));
      const std::size_t length = getBytes(p + at + 8, 4);
      at += 12;
      if (offset < 0 || !need(length)) return false;
      out.regions.push_back({offset, j.substr(at, length)});
      at += length;
    } else if (kind == KindText || kind == KindAbsent) {
      if (!need(2)) return false;
      const std::size_t nameLength = getBytes(p + at, 2);
      at += 2;
      if (!need(nameLength)) return false;
      JournalText text{j.substr(at, nameLength), kind == KindText, {}};
      at += nameLength;
      if (!isDatabaseText(text.name)) return false;
      if (kind == KindText) {
        if (!need(8)) return false;
        const std::uint64_t length = getBytes(p + at, 8);
        at += 8;
        if (length > j.size() || !need(static_cast<std::size_t>(length))) return false;
        text.contents = j.substr(at, static_cast<std::size_t>(length));
        at += static_cast<std::size_t>(length);
      }
      out.texts.push_back(std::move(text));
    } else {
      return false;
    }
  }
  return at == j.size();
}

// Whether the process that made a temporary file has ended.
bool processEnded(const std::string& pidText) {
  if (pidText.empty() || pidText.size() > 9) return false;
  long pid = 0;
  for (char c : pidText) {
    if (c < '0' || c > '9') return false;
    pid = pid * 10 + (c - '0');
  }
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Temporary files a change or an atomic replacement left behind: those of the database files
// when `locked` (every writer of them holds the lock, which the caller holds then), and any
// whose writer has ended.
std::vector<std::string> staleTemporaries(bool locked) {
  std::vector<std::string> stale;
  DIR* dir = ::opendir(".");
  if (!dir) return stale;
  const std::string own = pidSuffix();
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    std::size_t mark = name.rfind(".tmp-");
    std::size_t markLength = 5;
    if (mark == std::string::npos) {
      mark = name.rfind(".bak-new-");
      markLength = 9;
    }
    if (mark == std::string::npos || mark == 0) continue;
    const std::string base = name.substr(0, mark);
    const std::string pid = name.substr(mark + markLength);
    if ((locked && isDatabaseText(base) && pid != own) || processEnded(pid)) stale.push_back(name);
  }
  ::closedir(dir);
  return stale;
}

void removeStaleTemporaries() {
  for (const std::string& name : staleTemporaries(true)) ::unlink(name.c_str());
}

// Writes an interrupted change back. The caller holds the lock.
Recovery recoverLocked() {
  bool unreadable = false;
  const std::optional<std::string> journal = readWhole(JournalFileName, unreadable);
  if (!journal) {
    if (unreadable) return {RecoveryStatus::Failed, std::string(JournalFileName) + SJ(" が読めません")};
    return {};
  }
  const auto failed = [](const char* name) {
    return Recovery{RecoveryStatus::Failed,
                    std::string(name) + SJ(" が復元できません(") + JournalFileName +
                        SJ(" は次回に復元します)")};
  };

  ParsedJournal parsed;
  if (parseJournal(*journal, parsed)) {
    if (parsed.originalSize >= 0 || !parsed.regions.empty()) {
      const int fd = ::open(PriceFileName, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd < 0) return failed(PriceFileName);
      bool ok = true;
      for (const JournalRegion& r : parsed.regions) {
        ok = ok && writeFully(fd, reinterpret_cast<const unsigned char*>(r.bytes.data()),
                              r.bytes.size(), r.offset);
      }
      if (ok && parsed.originalSize >= 0) ok = truncateTo(fd, parsed.originalSize);
      ok = ok && flush(fd);
      ::close(fd);
      if (!ok) return failed(PriceFileName);
    }
    for (const JournalText& t : parsed.texts) {
      bool cannotRead = false;
      const std::optional<std::string> now = readWhole(t.name.c_str(), cannotRead);
      if (!t.existed) {
        if (now && !removeFile(t.name)) return failed(t.name.c_str());
        continue;
      }
      if (now && *now == t.contents) continue;
      const std::string temp = t.name + ".tmp-" + pidSuffix();
      if (!writeTemporary(t.name, temp, t.contents) || !renameFile(temp, t.name)) {
        ::unlink(temp.c_str());
        return failed(t.name.c_str());
      }
    }
    if (!flushFolder()) return failed(JournalFileName);
  }
  if (!removeFile(JournalFileName) || !flushFolder()) return failed(JournalFileName);
  removeStaleTemporaries();
  return {RecoveryStatus::RolledBack, {}};
}

}  // namespace

void setWriteHook(WriteHook hook, void* context) {
  writeHook = hook;
  writeHookContext = context;
}

Recovery recoverDatabase() {
  if (::access(JournalFileName, F_OK) != 0 && errno == ENOENT) {
    // Files left by a writer that ended after its commit (or before its journal) are removed
    // under the lock; a writer at work now keeps them.
    if (staleTemporaries(false).empty()) return {};
    DatabaseLock lock;
    if (lock.acquire(std::chrono::milliseconds(100)) == DatabaseLock::Result::Acquired)
      removeStaleTemporaries();
    return {};
  }
  DatabaseLock lock;
  const DatabaseLock::Result r = lock.acquire();
  if (r == DatabaseLock::Result::Busy) return {RecoveryStatus::Busy, lock.refusalMessage()};
  if (r == DatabaseLock::Result::Failed) return {RecoveryStatus::Failed, lock.refusalMessage()};
  return recoverLocked();
}

// ---------------------------------------------------------------------------------------------
// One change

DatabaseChange::~DatabaseChange() {
  if (begun_ && !committed_) rollback();
  finishPriceFlush();
  if (priceFd_ >= 0) ::close(priceFd_);
}

bool DatabaseChange::lock(std::chrono::milliseconds wait) {
  if (lock_.acquire(wait) != DatabaseLock::Result::Acquired) {
    message_ = lock_.refusalMessage();
    return false;
  }
  const Recovery recovery = recoverLocked();
  if (recovery.status == RecoveryStatus::Failed) {
    message_ = recovery.message;
    lock_.release();
    return false;
  }
  removeStaleTemporaries();
  return true;
}

bool DatabaseChange::openPrices() {
  if (priceFd_ >= 0) return true;
  priceFd_ = ::open(PriceFileName, O_RDWR | O_CLOEXEC);
  struct stat st {};
  if (priceFd_ < 0 || ::fstat(priceFd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (priceFd_ >= 0) ::close(priceFd_);
    priceFd_ = -1;
    return false;
  }
  originalSize_ = st.st_size;
  return true;
}

bool DatabaseChange::readPrices(std::int64_t offset, unsigned char* data, std::size_t size) const {
  std::size_t got = priceFd_ >= 0 && offset >= 0 ? readAt(priceFd_, data, size, offset) : 0;
  std::memset(data + got, 0, size - got);
  return priceFd_ >= 0;
}

bool DatabaseChange::readPricesGathered(std::vector<PriceRead> parts) const {
  if (priceFd_ < 0) {
    for (const PriceRead& p : parts) std::memset(p.data, 0, p.size);
    return false;
  }
  std::sort(parts.begin(), parts.end(),
            [](const PriceRead& a, const PriceRead& b) { return a.offset < b.offset; });
  // The gap between two parts read by one call is read into the scratch buffer; a larger gap,
  // an overlap or a full vector list starts the next call.
  constexpr std::int64_t ScratchBytes = 64 * 1024;
  constexpr std::size_t MaxVectors = 1024;  // IOV_MAX
  std::vector<unsigned char> scratch;
  std::vector<iovec> vec;
  vec.reserve(MaxVectors);
  std::size_t i = 0;
  while (i < parts.size()) {
    const std::int64_t start = parts[i].offset;
    if (start < 0) {
      readPrices(parts[i].offset, parts[i].data, parts[i].size);
      ++i;
      continue;
    }
    vec.clear();
    std::int64_t end = start;
    std::size_t j = i;
    while (j < parts.size() && vec.size() + 2 <= MaxVectors) {
      const PriceRead& p = parts[j];
      const std::int64_t gap = p.offset - end;
      if (gap < 0 || gap > ScratchBytes) break;
      if (gap > 0) {
        if (scratch.empty()) scratch.resize(static_cast<std::size_t>(ScratchBytes));
        vec.push_back({scratch.data(), static_cast<std::size_t>(gap)});
      }
      if (p.size > 0) vec.push_back({p.data, p.size});
      end = p.offset + static_cast<std::int64_t>(p.size);
      ++j;
    }
    const ssize_t n = vec.empty() ? 0
                                  : ::preadv(priceFd_, vec.data(), static_cast<int>(vec.size()),
                                             static_cast<off_t>(start));
    if (n != end - start) {
      // The end of the file, an interruption or an error: part by part, as readPrices does.
      for (std::size_t k = i; k < j; ++k) readPrices(parts[k].offset, parts[k].data, parts[k].size);
    }
    i = j;
  }
  return true;
}

bool DatabaseChange::fail(const char* fileName) {
  message_ = unwritableFileMessage(fileName);
  rollback();
  return false;
}

const char* DatabaseChange::writeJournal(const std::vector<PriceRegion>& regions,
                                         const std::vector<const char*>& textFiles) {
  std::string j(Magic, sizeof Magic);
  putBytes(j, static_cast<std::uint64_t>(priceFd_ >= 0 ? originalSize_ : -1), 8);
  putBytes(j, 0, 8);  // entry count, filled in below
  putBytes(j, 0, 8);  // checksum
  std::uint32_t count = 0;
  // Room for the regions and texts of the usual size, so that the journal is not moved while
  // it grows.
  std::size_t reserved = HeaderBytes + 256 * 1024;
  for (const PriceRegion& r : regions)
    reserved += 13 + static_cast<std::size_t>(std::max<std::int64_t>(r.length, 0));
  j.reserve(reserved);
  for (const PriceRegion& r : regions) {
    // Only what exists now needs saving: the file is cut back to its original size.
    const std::int64_t end = std::min(r.offset + r.length, originalSize_);
    if (priceFd_ < 0 || r.offset < 0 || end <= r.offset) continue;
    const auto size = static_cast<std::size_t>(end - r.offset);
    j += static_cast<char>(KindRegion);
    putBytes(j, static_cast<std::uint64_t>(r.offset), 8);
    putBytes(j, size, 4);
    const std::size_t at = j.size();
    if (r.original != nullptr) {
      j.append(reinterpret_cast<const char*>(r.original), size);
    } else {
      j.resize(at + size);
      readPrices(r.offset, reinterpret_cast<unsigned char*>(j.data() + at), size);
    }
    ++count;
  }
  for (const char* name : textFiles) {
    bool unreadable = false;
    const std::optional<std::string> text = readWhole(name, unreadable);
    if (unreadable) return name;  // a folder in its place, say: it cannot be replaced either
    const std::size_t nameLength = std::strlen(name);
    j += static_cast<char>(text ? KindText : KindAbsent);
    putBytes(j, nameLength, 2);
    j += name;
    if (text) {
      putBytes(j, text->size(), 8);
      j += *text;
    }
    ++count;
  }
  for (int i = 0; i < 4; ++i) j[16 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  const std::uint64_t sum = journalChecksum(j);
  for (int i = 0; i < 8; ++i) j[24 + i] = static_cast<char>((sum >> (8 * i)) & 0xFF);

  const int fd = ::open(JournalFileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return JournalFileName;
  bool ok = writeFully(fd, reinterpret_cast<const unsigned char*>(j.data()), j.size(), 0) &&
            flush(fd);
  if (::close(fd) != 0) ok = false;
  return ok && flushFolder() ? nullptr : JournalFileName;
}

bool DatabaseChange::begin(const std::vector<PriceRegion>& regions,
                           const std::vector<const char*>& textFiles) {
  if (!lock_.held()) {
    message_ = lock_.refusalMessage();
    return false;
  }
  begun_ = true;
  committed_ = false;
  if (const char* failed = writeJournal(regions, textFiles)) return fail(failed);
  return true;
}

bool DatabaseChange::replaceTexts(const std::vector<TextFileChange>& texts) {
  std::vector<const char*> names;
  for (const TextFileChange& t : texts) names.push_back(t.fileName);
  return begin({}, names) && commit(texts);
}

bool DatabaseChange::writePrices(std::int64_t offset, const unsigned char* data,
                                 std::size_t size) {
  if (!begun_ || priceFd_ < 0 || offset < 0 || !writeFully(priceFd_, data, size, offset))
    return fail(PriceFileName);
  return true;
}

bool DatabaseChange::startPriceFlush() {
  if (!begun_) return false;
  if (priceFd_ < 0 || priceFlushStarted_) return true;
  // The flush is counted (and may be failed by the test hook) here, on the calling thread.
  if (!allowed()) return fail(PriceFileName);
  priceFlushStarted_ = true;
  priceFlushOk_ = false;
  try {
    priceFlush_ = std::thread([this] { priceFlushOk_ = ::fdatasync(priceFd_) == 0; });
  } catch (const std::system_error&) {
    priceFlushOk_ = ::fdatasync(priceFd_) == 0;  // no second thread: flush here
  }
  return true;
}

bool DatabaseChange::finishPriceFlush() {
  if (!priceFlushStarted_) return true;
  if (priceFlush_.joinable()) priceFlush_.join();
  priceFlushStarted_ = false;
  return priceFlushOk_;
}

bool DatabaseChange::commit(const std::vector<TextFileChange>& texts) {
  if (!begun_) return false;
  if (!startPriceFlush()) return false;

  const std::string suffix = pidSuffix();
  for (const TextFileChange& t : texts) {
    const std::string name = t.fileName;
    if (!writeTemporary(name, name + ".tmp-" + suffix, t.contents)) return fail(t.fileName);
  }
  // No text is replaced before pelinoru.dat is on disk.
  if (!finishPriceFlush()) return fail(PriceFileName);
  for (const TextFileChange& t : texts) {
    const std::string name = t.fileName;
    // The previous generation stays reachable as a second name of the old file; a file
    // system without hard links only goes without it.
    const std::string bak = name + ".bak-new-" + suffix;
    if (::access(name.c_str(), F_OK) == 0 && linkFile(name, bak)) bakLinks_.push_back(name);
    if (!renameFile(name + ".tmp-" + suffix, name)) return fail(t.fileName);
  }
  if (!flushFolder()) return fail(JournalFileName);
  if (!removeFile(JournalFileName)) return fail(JournalFileName);
  committed_ = true;

  for (const std::string& name : bakLinks_) {
    const std::string link = name + ".bak-new-" + suffix;
    if (!renameFile(link, name + ".bak")) ::unlink(link.c_str());
  }
  bakLinks_.clear();
  // The commit is made durable; a folder that cannot be flushed now does not undo it.
  (void)flushFolder();
  if (priceFd_ >= 0) ::close(priceFd_);
  priceFd_ = -1;
  lock_.release();
  return true;
}

bool DatabaseChange::rollback() {
  if (!begun_ || committed_) return true;
  begun_ = false;
  finishPriceFlush();
  if (priceFd_ >= 0) ::close(priceFd_);
  priceFd_ = -1;
  const std::string suffix = pidSuffix();
  for (const std::string& name : bakLinks_) ::unlink((name + ".bak-new-" + suffix).c_str());
  bakLinks_.clear();
  const Recovery r = recoverLocked();
  // Temporary files of this process (the cleaner passes over its own).
  for (const char* name : {SystemFileName, SettingsFileName, IndexFileName})
    ::unlink((std::string(name) + ".tmp-" + suffix).c_str());
  lock_.release();
  return r.status != RecoveryStatus::Failed;
}

}  // namespace marketdb
