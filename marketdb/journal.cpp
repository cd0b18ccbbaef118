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
#include <string_view>
#include <system_error>

#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
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
  return allowed() && writeAt(fd, data, size, offset);
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

// The whole of a regular file; nothing when it does not exist; `unreadable` when it exists but
// cannot be read as a regular file.
std::optional<std::string> readWhole(const char* name, bool& unreadable) {
  std::string text;
  const WholeFile r = readWholeFile(name, text, true);
  unreadable = r != WholeFile::Read && r != WholeFile::Missing;
  if (r != WholeFile::Read) return std::nullopt;
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
// The journal file (numbers little-endian; a string is a uint16 length and its bytes).
//
//   header   "PLNJRN02", uint32 header length H, uint32 entry count, uint64 checksum of the
//            header's H bytes with this field counted as zero;
//            identity: string kind, string folder (for messages), string price file name,
//            int64 price file size at the start (-1: the change does not write it),
//            uint16 file count, per file: string name, int64 size at the start (-1: absent),
//            uint64 checksum of its bytes (0 for the price file);
//            entry table: per entry uint64 place in the journal, uint64 length
//   entries  uint8 kind: 1 region  int64 offset, the bytes
//                        2 text    string name, the bytes
//                        3 absent  string name (the file did not exist)
//            then uint64 checksum of the entry's bytes before it
//   end      (appended before the first text is replaced) "PLNJEND2", int64 price file size
//            after the change, uint16 count, per text: string name, int64 size, uint64
//            checksum; uint64 checksum of the record's bytes before it
//
// The format written before identities (PLNJRN01: one checksum over everything, no identity)
// is still written back when its checksum holds.

constexpr char Magic[8] = {'P', 'L', 'N', 'J', 'R', 'N', '0', '2'};
constexpr char LegacyMagic[8] = {'P', 'L', 'N', 'J', 'R', 'N', '0', '1'};
constexpr char EndMagic[8] = {'P', 'L', 'N', 'J', 'E', 'N', 'D', '2'};
constexpr std::size_t FixedHeaderBytes = 24;
constexpr std::size_t LegacyHeaderBytes = 32;
constexpr unsigned char KindRegion = 1;
constexpr unsigned char KindText = 2;
constexpr unsigned char KindAbsent = 3;

void putString(std::string& out, const std::string& s) {
  const std::size_t n = std::min<std::size_t>(s.size(), 0xFFFF);
  appendLittle(out, n, 2);
  out.append(s, 0, n);
}
// Reads the fields of a journal part; every read past its end sets `bad`.
class FieldReader {
 public:
  FieldReader(std::string_view data, std::size_t at) : d_(data), at_(at) {}
  std::uint64_t number(int bytes) {
    if (!need(static_cast<std::size_t>(bytes))) return 0;
    const std::uint64_t v = getLittle(reinterpret_cast<const unsigned char*>(d_.data()) + at_, bytes);
    at_ += static_cast<std::size_t>(bytes);
    return v;
  }
  std::string text(std::size_t n) {
    if (!need(n)) return {};
    std::string s(d_.substr(at_, n));
    at_ += n;
    return s;
  }
  std::string string() { return text(static_cast<std::size_t>(number(2))); }
  std::size_t at() const { return at_; }
  bool bad() const { return bad_; }

 private:
  bool need(std::size_t n) {
    if (bad_ || d_.size() - at_ < n) bad_ = true;
    return !bad_;
  }
  std::string_view d_;
  std::size_t at_;
  bool bad_ = false;
};

struct FileState {
  std::string name;
  std::int64_t size = -1;  // -1: absent; -2: there but not a readable regular file
  std::uint64_t sum = 0;
  bool operator==(const FileState&) const = default;
};
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
  bool legacy = false;
  std::string folder;
  std::string priceFile = PriceFileName;
  std::int64_t originalSize = -1;
  std::vector<FileState> start;  // every file of the database, as the change began
  std::vector<JournalRegion> regions;
  std::vector<JournalText> texts;
  int damagedEntries = 0;
  bool ended = false;        // the end record is there and whole
  bool endDamaged = false;   // an end record of full length whose checksum fails
  std::int64_t endPriceSize = -1;
  std::vector<FileState> end;  // the texts after the change
};

// A file name a journal may name: a plain name in the database folder.
bool isPlainName(const std::string& name) {
  return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// The database's own text files, whose temporary and .bak-new names only writers under the
// lock make.
bool isDatabaseText(const std::string& name) { return isDatabaseTextName(name); }

bool isJournalName(const std::string& name) {
  return name == ClassicLayout.journalFile || name == WideLayout.journalFile;
}

// The journal of the folder's kind of database; told by the file names alone, so that recovery
// never depends on reading a file the journal may be about to restore.
const char* folderJournal() {
  return folderKind().kind == DatabaseKind::Wide ? WideLayout.journalFile
                                                  : ClassicLayout.journalFile;
}

// Where a journal is moved aside: its name and the ending.
std::string asideName(const char* ending) { return std::string(folderJournal()) + ending; }

// The state of a file now: its size and, unless it is the price file, its checksum.
FileState stateOf(const std::string& name, bool sizeOnly) {
  FileState s{name, -1, 0};
  if (sizeOnly) {
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0) s.size = S_ISREG(st.st_mode) ? st.st_size : -2;
    return s;
  }
  bool unreadable = false;
  const std::optional<std::string> text = readWhole(name.c_str(), unreadable);
  if (unreadable) s.size = -2;
  if (text) {
    s.size = static_cast<std::int64_t>(text->size());
    s.sum = checksumOf(*text);
  }
  return s;
}

enum class Parse { Whole, Damaged };

// The legacy journal: whole when its one checksum holds; anything else means that it was
// never completed, so nothing was overwritten under it.
bool parseLegacyJournal(const std::string& j, ParsedJournal& out) {
  out.legacy = true;
  if (j.size() < LegacyHeaderBytes) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(j.data());
  std::uint64_t h = checksum(p, 24, ChecksumSeed);
  h = checksum(p + LegacyHeaderBytes, j.size() - LegacyHeaderBytes, h);
  if (getLittle(p + 24, 8) != h) return false;
  out.originalSize = static_cast<std::int64_t>(getLittle(p + 8, 8));
  const std::uint64_t count = getLittle(p + 16, 4);
  FieldReader r(j, LegacyHeaderBytes);
  for (std::uint64_t e = 0; e < count && !r.bad(); ++e) {
    const auto kind = static_cast<unsigned char>(r.number(1));
    if (kind == KindRegion) {
      const auto offset = static_cast<std::int64_t>(r.number(8));
      const std::size_t length = r.number(4);
      if (offset < 0) return false;
      out.regions.push_back({offset, r.text(length)});
    } else if (kind == KindText || kind == KindAbsent) {
      JournalText text{r.string(), kind == KindText, {}};
      if (!isDatabaseText(text.name) || isJournalName(text.name)) return false;
      if (kind == KindText) text.contents = r.text(static_cast<std::size_t>(r.number(8)));
      out.texts.push_back(std::move(text));
    } else {
      return false;
    }
  }
  return !r.bad() && r.at() == j.size();
}

// Reads a journal. Damaged: the header does not hold (nothing in it can be trusted). A damaged
// entry or end record is counted and left out; the rest is read.
Parse parseJournal(const std::string& j, ParsedJournal& out) {
  if (j.size() < FixedHeaderBytes || std::memcmp(j.data(), Magic, sizeof Magic) != 0)
    return Parse::Damaged;
  const auto* p = reinterpret_cast<const unsigned char*>(j.data());
  const std::size_t headerBytes = getLittle(p + 8, 4);
  const std::size_t count = getLittle(p + 12, 4);
  if (headerBytes < FixedHeaderBytes || headerBytes > j.size()) return Parse::Damaged;
  std::string header = j.substr(0, headerBytes);
  setLittle(header, 16, 0, 8);
  if (checksumOf(header) != getLittle(p + 16, 8)) return Parse::Damaged;

  FieldReader h(std::string_view(j).substr(0, headerBytes), FixedHeaderBytes);
  (void)h.string();  // the kind: the identity below says all a reader needs
  out.folder = h.string();
  out.priceFile = h.string();
  out.originalSize = static_cast<std::int64_t>(h.number(8));
  const std::size_t files = h.number(2);
  for (std::size_t i = 0; i < files && !h.bad(); ++i) {
    FileState f;
    f.name = h.string();
    f.size = static_cast<std::int64_t>(h.number(8));
    f.sum = h.number(8);
    out.start.push_back(std::move(f));
  }
  std::vector<std::pair<std::size_t, std::size_t>> table;
  for (std::size_t i = 0; i < count && !h.bad(); ++i) {
    const std::size_t at = h.number(8);
    table.emplace_back(at, static_cast<std::size_t>(h.number(8)));
  }
  if (h.bad() || h.at() != headerBytes || !isPlainName(out.priceFile)) return Parse::Damaged;
  const auto named = [&](const std::string& name) {
    return std::any_of(out.start.begin(), out.start.end(),
                       [&](const FileState& f) { return f.name == name; });
  };
  for (const FileState& f : out.start)
    if (!isPlainName(f.name)) return Parse::Damaged;
  if (!named(out.priceFile)) return Parse::Damaged;

  std::size_t entriesEnd = headerBytes;
  for (const auto& [at, length] : table) {
    if (at < headerBytes || at > j.size() || length < 9 || j.size() - at < length) {
      ++out.damagedEntries;
      continue;
    }
    entriesEnd = std::max(entriesEnd, at + length);
    const std::string_view entry = std::string_view(j).substr(at, length);
    if (checksumOf(entry.substr(0, length - 8)) !=
        getLittle(reinterpret_cast<const unsigned char*>(entry.data()) + length - 8, 8)) {
      ++out.damagedEntries;
      continue;
    }
    FieldReader r(entry.substr(0, length - 8), 0);
    const auto kind = static_cast<unsigned char>(r.number(1));
    if (kind == KindRegion) {
      const auto offset = static_cast<std::int64_t>(r.number(8));
      if (offset < 0 || r.bad()) {
        ++out.damagedEntries;
        continue;
      }
      out.regions.push_back({offset, std::string(entry.substr(r.at(), length - 8 - r.at()))});
    } else if (kind == KindText || kind == KindAbsent) {
      JournalText text{r.string(), kind == KindText, {}};
      if (r.bad() || !named(text.name) || text.name == out.priceFile) {
        ++out.damagedEntries;
        continue;
      }
      if (kind == KindText) text.contents = std::string(entry.substr(r.at(), length - 8 - r.at()));
      out.texts.push_back(std::move(text));
    } else {
      ++out.damagedEntries;
    }
  }

  // The end record, when there is one. A writer whose end record could not be written cuts it
  // off again, so anything there that does not check out is damage.
  if (j.size() > entriesEnd && j.size() - entriesEnd >= sizeof EndMagic &&
      std::memcmp(j.data() + entriesEnd, EndMagic, sizeof EndMagic) == 0) {
    const std::string_view rec = std::string_view(j).substr(entriesEnd);
    FieldReader r(rec, sizeof EndMagic);
    const auto size = static_cast<std::int64_t>(r.number(8));
    const std::size_t n = r.number(2);
    std::vector<FileState> end;
    for (std::size_t i = 0; i < n && !r.bad(); ++i) {
      FileState f;
      f.name = r.string();
      f.size = static_cast<std::int64_t>(r.number(8));
      f.sum = r.number(8);
      end.push_back(std::move(f));
    }
    const std::size_t body = r.at();
    const std::uint64_t sum = r.number(8);
    if (!r.bad() && sum == checksumOf(rec.substr(0, body)) && r.at() == rec.size()) {
      out.ended = true;
      out.endPriceSize = size;
      out.end = std::move(end);
    } else {
      out.endDamaged = true;
    }
  } else if (j.size() > entriesEnd) {
    out.endDamaged = true;
  }
  return Parse::Whole;
}

// Whether the files found are those the journal was written for: each in its state from
// before the change, or, once the end record was written, in its state after it (a text
// already replaced, or a write-back stopped part way). The price file may have grown while
// the change wrote it.
bool journalMatches(const ParsedJournal& j) {
  for (const FileState& start : j.start) {
    const bool prices = start.name == j.priceFile;
    const FileState now = stateOf(start.name, prices);
    if (prices) {
      if (j.originalSize < 0) {
        if (now.size != start.size) return false;
      } else if (j.ended) {
        if (now.size != start.size && now.size != j.endPriceSize) return false;
      } else if (now.size < start.size) {
        return false;
      }
      continue;
    }
    if (now == start) continue;
    const auto after = std::find_if(j.end.begin(), j.end.end(),
                                    [&](const FileState& f) { return f.name == start.name; });
    if (!j.ended || after == j.end.end() || !(now == *after)) return false;
  }
  return true;
}

// Moves the journal aside under the first free name of `base`, base-2, base-3 ...; the name
// used, or empty when it could not be moved.
std::string setJournalAside(const char* base) {
  for (int i = 1; i < 1000; ++i) {
    const std::string name = i == 1 ? std::string(base) : std::string(base) + "-" + std::to_string(i);
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0 || errno != ENOENT) continue;
    if (!renameFile(folderJournal(), name)) return {};
    (void)flushFolder();
    return name;
  }
  return {};
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

// Files the programs replace through a temporary NAME.tmp-PID: the database's texts and
// journal, the ranking files, the export and the daily files the import writes. Only such
// temporary names are ever removed; a user's own "notes.tmp-2024" stays.
bool replacedThroughTemporary(const std::string& name) {
  // pelwide.dat: init writes its header through a temporary.
  if (isDatabaseText(name) || name == WidePriceFileName || name == "ranking.dat" ||
      name == "ranking2.dat" || name == "kabudata.txt")
    return true;
  return name.size() == 7 && (name[0] == 'W' || name[0] == 'N') &&
         std::all_of(name.begin() + 1, name.end(), [](char c) { return c >= '0' && c <= '9'; });
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
    bool bakLink = false;
    if (mark == std::string::npos) {
      mark = name.rfind(".bak-new-");
      markLength = 9;
      bakLink = true;
    }
    if (mark == std::string::npos || mark == 0) continue;
    const std::string base = name.substr(0, mark);
    const std::string pid = name.substr(mark + markLength);
    if (pid.empty() || pid.size() > 9 ||
        !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    // .bak-new- links are made only for the database's texts, under the lock.
    if (bakLink ? !isDatabaseText(base) || isJournalName(base) : !replacedThroughTemporary(base))
      continue;
    if ((locked && isDatabaseText(base) && pid != own) || processEnded(pid)) stale.push_back(name);
  }
  ::closedir(dir);
  return stale;
}

void removeStaleTemporaries() {
  for (const std::string& name : staleTemporaries(true)) ::unlink(name.c_str());
}

// Writes the verified parts of a journal back. False (naming the file) when a write fails.
const char* writeBack(const ParsedJournal& parsed) {
  if (parsed.originalSize >= 0 || !parsed.regions.empty()) {
    const char* prices = parsed.priceFile.c_str();
    const int fd = ::open(prices, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return prices;
    bool ok = true;
    for (const JournalRegion& r : parsed.regions) {
      ok = ok && writeFully(fd, reinterpret_cast<const unsigned char*>(r.bytes.data()),
                            r.bytes.size(), r.offset);
    }
    if (ok && parsed.originalSize >= 0) ok = truncateTo(fd, parsed.originalSize);
    ok = ok && flush(fd);
    ::close(fd);
    if (!ok) return prices;
  }
  for (const JournalText& t : parsed.texts) {
    bool cannotRead = false;
    const std::optional<std::string> now = readWhole(t.name.c_str(), cannotRead);
    if (!t.existed) {
      if (now && !removeFile(t.name)) return t.name.c_str();
      continue;
    }
    if (now && *now == t.contents) continue;
    const std::string temp = t.name + ".tmp-" + pidSuffix();
    if (!writeTemporary(t.name, temp, t.contents) || !renameFile(temp, t.name)) {
      ::unlink(temp.c_str());
      return t.name.c_str();
    }
  }
  return flushFolder() ? nullptr : folderJournal();
}

// What the user does about a damaged journal set aside as `aside` (CP932).
std::string damagedJournalAdvice(const std::string& aside) {
  const char* stem = folderKind().kind == DatabaseKind::Wide ? "pelwide" : "pelinoru";
  return SJ("ﾃﾞｰﾀﾍﾞｰｽを確かめ(おかしければ ") + stem +
         SJ(".(sys idx dat win) をﾊﾞｯｸｱｯﾌﾟから戻し)、") + aside +
         SJ(" を消すまで書き込みはしません");
}

// Writes an interrupted change back. The caller holds the lock.
Recovery recoverLocked() {
  bool unreadable = false;
  const std::optional<std::string> journal = readWhole(folderJournal(), unreadable);
  if (!journal) {
    if (unreadable) return {RecoveryStatus::Failed, std::string(folderJournal()) + SJ(" が読めません")};
    return {};
  }
  const auto failed = [](const char* name) {
    return Recovery{RecoveryStatus::Failed,
                    std::string(name) + SJ(" が復元できません(") + folderJournal() +
                        SJ(" は次回に復元します)")};
  };

  ParsedJournal parsed;
  const bool legacy = journal->size() >= sizeof LegacyMagic &&
                      std::memcmp(journal->data(), LegacyMagic, sizeof LegacyMagic) == 0;
  if (legacy) {
    // Written by the previous version, before journals named their database: written back
    // when whole, as that version did.
    if (parseLegacyJournal(*journal, parsed)) {
      if (const char* name = writeBack(parsed)) return failed(name);
    }
  } else {
    const Parse parse = parseJournal(*journal, parsed);
    const bool damaged = parse == Parse::Damaged || parsed.damagedEntries > 0 || parsed.endDamaged;
    const std::string where = parsed.folder.empty() ? std::string("?") : parsed.folder;
    const bool matches = parse == Parse::Whole && journalMatches(parsed);
    if (parse == Parse::Whole && !parsed.endDamaged && !matches) {
      // Another folder's journal, or files put back since: they are left as they are.
      const std::string aside = setJournalAside(asideName(".unmatched").c_str());
      if (aside.empty()) return failed(folderJournal());
      return {RecoveryStatus::Unmatched,
              std::string(folderJournal()) + SJ(" (") + where +
                  SJ(" の変更の記録)が今のﾌｧｲﾙと合わないので、何も戻さずに ") + aside +
                  SJ(" に移しました")};
    }
    if (damaged) {
      // What can be verified is written back (a damaged end record leaves only the state
      // before the change to match); the rest is left for the user to check.
      if (matches) {
        if (const char* name = writeBack(parsed)) return failed(name);
      }
      const std::string aside = setJournalAside(asideName(".damaged").c_str());
      if (aside.empty()) return failed(folderJournal());
      removeStaleTemporaries();
      return {RecoveryStatus::Damaged,
              std::string(folderJournal()) + SJ(" が壊れていました。") +
                  (matches ? SJ("確かめられた部分だけを元に戻し、")
                                         : SJ("何も戻さずに、")) +
                  aside + SJ(" に移しました。") + damagedJournalAdvice(aside)};
    }
    if (const char* name = writeBack(parsed)) return failed(name);
  }
  if (!removeFile(folderJournal()) || !flushFolder()) return failed(folderJournal());
  removeStaleTemporaries();
  return {RecoveryStatus::RolledBack, {}};
}

}  // namespace

void setWriteHook(WriteHook hook, void* context) {
  writeHook = hook;
  writeHookContext = context;
}

std::string damagedJournalRefusal() {
  DIR* dir = ::opendir(".");
  if (!dir) return {};
  std::string found;
  const std::string prefix = asideName(".damaged");
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) == 0 && (found.empty() || name < found))
      found = name;
  }
  ::closedir(dir);
  if (found.empty()) return {};
  return found + SJ(" (壊れていた変更の記録)があります。") + damagedJournalAdvice(found);
}

Recovery recoverDatabase(const WaitNotice& notice) {
  if (::access(folderJournal(), F_OK) != 0 && errno == ENOENT) {
    // Files left by a writer that ended after its commit (or before its journal) are removed
    // under the lock; a writer at work now keeps them.
    if (staleTemporaries(false).empty()) return {};
    DatabaseLock lock;
    if (lock.acquire(std::chrono::milliseconds(100)) == DatabaseLock::Result::Acquired)
      removeStaleTemporaries();
    return {};
  }
  // The writer that left the journal may still be at work: wait for it.
  DatabaseLock lock;
  const DatabaseLock::Result r = lock.acquire(WaitForever, notice);
  if (r != DatabaseLock::Result::Acquired) return {RecoveryStatus::Failed, lock.refusalMessage()};
  return recoverLocked();
}

const Recovery& DatabaseRead::acquire(const WaitNotice& notice) {
  recovery_ = {};
  for (;;) {
    if (lock_.acquireShared(notice) != DatabaseLock::Result::Acquired) {
      // Without a lock file (a read-only folder) nobody can write here either: read.
      return recovery_;
    }
    if (::access(folderJournal(), F_OK) != 0 && errno == ENOENT) return recovery_;
    // An interrupted change: written back under the writer lock before anything is read.
    lock_.release();
    const Recovery r = recoverDatabase(notice);
    if (r.status != RecoveryStatus::Clean) recovery_ = r;
    if (r.status == RecoveryStatus::Failed) {
      // The journal stays; the files are read as they are, and the failure reported.
      lock_.acquireShared(notice);
      return recovery_;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// One change

DatabaseChange::DatabaseChange() : files_(databaseFilesOf(openLayout())) {}

DatabaseChange::~DatabaseChange() {
  if (begun_ && !committed_) rollback();
  finishPriceFlush();
  if (priceFd_ >= 0) ::close(priceFd_);
}

bool DatabaseChange::lock(std::chrono::milliseconds wait) {
  // Readers already reading finish their read (an analysis can take seconds on a slow or busy
  // machine); only another writer makes the change give up after `wait`.
  if (lock_.acquire(wait, {}, ReaderDrainWait) != DatabaseLock::Result::Acquired) {
    message_ = lock_.refusalMessage();
    return false;
  }
  recovery_ = recoverLocked();
  if (recovery_.status == RecoveryStatus::Failed) {
    message_ = recovery_.message;
    lock_.release();
    return false;
  }
  // A damaged journal means the database may hold part of a change: nothing more is written
  // until the user has looked.
  if (const std::string refusal = damagedJournalRefusal(); !refusal.empty()) {
    message_ = recovery_.status == RecoveryStatus::Damaged ? recovery_.message : refusal;
    lock_.release();
    return false;
  }
  removeStaleTemporaries();
  return true;
}

bool DatabaseChange::openPrices() {
  if (priceFd_ >= 0) return true;
  priceFd_ = ::open(files_.prices, O_RDWR | O_CLOEXEC);
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
  failedFile_ = fileName;
  rollback();
  return false;
}

const char* DatabaseChange::writeJournal(const std::vector<PriceRegion>& regions,
                                         const std::vector<const char*>& textFiles) {
  // The entries first, each with its checksum; their places go into the header.
  std::string body;
  std::vector<std::pair<std::size_t, std::size_t>> table;
  std::size_t reserved = 256 * 1024;
  for (const PriceRegion& r : regions)
    reserved += 17 + static_cast<std::size_t>(std::max<std::int64_t>(r.length, 0));
  body.reserve(reserved);
  const auto closeEntry = [&](std::size_t start) {
    appendLittle(body, checksumOf(std::string_view(body).substr(start)), 8);
    table.emplace_back(start, body.size() - start);
  };
  for (const PriceRegion& r : regions) {
    // Only what exists now needs saving: the file is cut back to its original size.
    const std::int64_t end = std::min(r.offset + r.length, originalSize_);
    if (priceFd_ < 0 || r.offset < 0 || end <= r.offset) continue;
    const auto size = static_cast<std::size_t>(end - r.offset);
    const std::size_t start = body.size();
    body += static_cast<char>(KindRegion);
    appendLittle(body, static_cast<std::uint64_t>(r.offset), 8);
    const std::size_t at = body.size();
    if (r.original != nullptr) {
      body.append(reinterpret_cast<const char*>(r.original), size);
    } else {
      body.resize(at + size);
      readPrices(r.offset, reinterpret_cast<unsigned char*>(body.data() + at), size);
    }
    closeEntry(start);
  }

  // The state of every file of the database as the change begins: the journal's identity.
  const auto listed = [](const std::vector<const char*>& list, const char* name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const char* n) { return std::strcmp(n, name) == 0; });
  };
  std::vector<const char*> names = files_.texts;
  for (const char* name : textFiles)
    if (!listed(names, name)) names.push_back(name);
  std::vector<FileState> start;
  for (const char* name : names) {
    bool unreadable = false;
    const std::optional<std::string> text = readWhole(name, unreadable);
    // A folder in the place of a text, say: it could not be replaced either.
    if (unreadable) return name;
    start.push_back({name, text ? static_cast<std::int64_t>(text->size()) : -1,
                     text ? checksumOf(*text) : 0});
    if (!listed(textFiles, name)) continue;
    const std::size_t entry = body.size();
    body += static_cast<char>(text ? KindText : KindAbsent);
    putString(body, name);
    if (text) body += *text;
    closeEntry(entry);
  }
  FileState prices = stateOf(files_.prices, true);
  if (priceFd_ >= 0) prices.size = originalSize_;
  start.push_back(prices);

  std::string header(Magic, sizeof Magic);
  appendLittle(header, 0, 4);  // header length, below
  appendLittle(header, table.size(), 4);
  appendLittle(header, 0, 8);  // checksum, below
  putString(header, files_.kind);
  {
    char folder[4096];
    putString(header, ::getcwd(folder, sizeof folder) ? folder : "");
  }
  putString(header, files_.prices);
  appendLittle(header, static_cast<std::uint64_t>(priceFd_ >= 0 ? originalSize_ : -1), 8);
  appendLittle(header, start.size(), 2);
  for (const FileState& f : start) {
    putString(header, f.name);
    appendLittle(header, static_cast<std::uint64_t>(f.size), 8);
    appendLittle(header, f.sum, 8);
  }
  const std::size_t headerBytes = header.size() + 16 * table.size();
  for (const auto& [at, length] : table) {
    appendLittle(header, headerBytes + at, 8);
    appendLittle(header, length, 8);
  }
  setLittle(header, 8, headerBytes, 4);
  setLittle(header, 16, checksumOf(header), 8);

  // Written under a temporary name and renamed once flushed: a pelinoru.jnl is always whole,
  // so one that does not check out was damaged afterwards, not cut short.
  const std::string temp = std::string(files_.journal) + ".tmp-" + pidSuffix();
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return files_.journal;
  bool ok = writeFully(fd, reinterpret_cast<const unsigned char*>(header.data()), header.size(),
                       0) &&
            writeFully(fd, reinterpret_cast<const unsigned char*>(body.data()), body.size(),
                       static_cast<std::int64_t>(header.size())) &&
            flush(fd);
  if (::close(fd) != 0) ok = false;
  ok = ok && renameFile(temp, files_.journal);
  if (!ok) {
    ::unlink(temp.c_str());
    return files_.journal;
  }
  journalBytes_ = static_cast<std::int64_t>(header.size() + body.size());
  return flushFolder() ? nullptr : files_.journal;
}

bool DatabaseChange::writeEndRecord(const std::vector<TextFileChange>& texts) {
  std::string r(EndMagic, sizeof EndMagic);
  struct stat st {};
  const std::int64_t priceSize =
      priceFd_ >= 0 && ::fstat(priceFd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
  appendLittle(r, static_cast<std::uint64_t>(priceSize), 8);
  appendLittle(r, texts.size(), 2);
  for (const TextFileChange& t : texts) {
    putString(r, t.fileName);
    appendLittle(r, t.contents.size(), 8);
    appendLittle(r, checksumOf(t.contents), 8);
  }
  appendLittle(r, checksumOf(r), 8);
  const int fd = ::open(files_.journal, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = writeFully(fd, reinterpret_cast<const unsigned char*>(r.data()), r.size(),
                       journalBytes_) &&
            flush(fd);
  // A record only partly written (a full disk) is cut off: the write-back that follows must
  // not take it for damage.
  if (!ok) (void)::ftruncate(fd, journalBytes_);
  if (::close(fd) != 0) ok = false;
  return ok;
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
    return fail(files_.prices);
  return true;
}

bool DatabaseChange::startPriceFlush() {
  if (!begun_) return false;
  if (priceFd_ < 0 || priceFlushStarted_) return true;
  // The flush is counted (and may be failed by the test hook) here, on the calling thread.
  if (!allowed()) return fail(files_.prices);
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
    temporaries_.push_back(name);
    if (!writeTemporary(name, name + ".tmp-" + suffix, t.contents)) return fail(t.fileName);
  }
  // The journal learns the state after the change before any text is replaced, so that a
  // write-back can tell a text it replaced from one put back by someone else.
  if (!writeEndRecord(texts)) return fail(files_.journal);
  // No text is replaced before pelinoru.dat is on disk.
  if (!finishPriceFlush()) return fail(files_.prices);
  for (const TextFileChange& t : texts) {
    const std::string name = t.fileName;
    // The previous generation stays reachable as a second name of the old file; a file
    // system without hard links only goes without it. A later part of a command leaves the
    // generation from before the command (unless there is none yet).
    const std::string bak = name + ".bak-new-" + suffix;
    const bool keep = keepBak_ && ::access((name + ".bak").c_str(), F_OK) == 0;
    if (!keep && ::access(name.c_str(), F_OK) == 0 && linkFile(name, bak))
      bakLinks_.push_back(name);
    if (!renameFile(name + ".tmp-" + suffix, name)) return fail(t.fileName);
  }
  if (!flushFolder()) return fail(files_.journal);
  if (!removeFile(files_.journal)) return fail(files_.journal);
  committed_ = true;

  for (const std::string& name : bakLinks_) {
    const std::string link = name + ".bak-new-" + suffix;
    if (!renameFile(link, name + ".bak")) ::unlink(link.c_str());
  }
  bakLinks_.clear();
  temporaries_.clear();
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
  for (const std::string& name : temporaries_) ::unlink((name + ".tmp-" + suffix).c_str());
  ::unlink((std::string(files_.journal) + ".tmp-" + suffix).c_str());
  temporaries_.clear();
  lock_.release();
  return r.status != RecoveryStatus::Failed;
}

}  // namespace marketdb
