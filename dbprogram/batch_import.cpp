// pelinorx import: per-stock CSV price files -> daily price files the store takes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

#include "dbprogram/batch.h"
#include "dbprogram/csv_import.h"
#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "marketdb/wide_text.h"
#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

namespace fs = std::filesystem;

void usage(std::ostream& err) {
  err << "usage: pelinorx import [--names FILE] [--codes FILE] [--kind W|N] [--wide] [--out DIR]\n"
         "                       SOURCE...\n"
         "  SOURCE     a CSV file (a header line naming Date, Open, High, Low, Close and Volume,\n"
         "             then a line per day; named by its stock code as 7203.csv, or with a Code\n"
         "             or Ticker column), or a folder of such *.csv and *.txt files\n"
         "  --names    a list of code,name[,market] lines (CP932 or UTF-8)\n"
         "  --codes    import only the stocks of this list (a code at the start of each line)\n"
         "  --kind     W or N: the daily files' letter when there is no database here\n"
         "  --wide     daily files for a wide database (implied by a wide database here)\n"
         "  --out DIR  where the daily files go (default: the working directory)\n";
}

// Opens a source for reading: only a regular file (a folder, a pipe or a device is refused at
// once, without waiting for a writer or reading endlessly). -1 with the reason.
int openSource(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    why = errno == ENOENT ? "no such file" : errno == EACCES ? "permission denied"
                                                             : std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file (a device or a pipe)";
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads a small list file whole; false with the reason.
bool readList(const std::string& path, std::string& text, std::string& why) {
  constexpr std::size_t MaxListBytes = 16 << 20;
  const int fd = openSource(path, why);
  if (fd < 0) return false;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) why = std::strerror(errno);
    if (n <= 0) {
      ::close(fd);
      return n == 0;
    }
    text.append(buf, static_cast<std::size_t>(n));
    if (text.size() > MaxListBytes) {
      ::close(fd);
      why = "larger than 16 MB: not a list of stocks";
      return false;
    }
  }
}

// Streams one source through the reader; false with the reason when it cannot be read.
bool readSource(const std::string& path, PriceCsvReader& reader, PriceRows& rows,
                ImportTally& tally, std::vector<ImportProblem>& problems, std::string& why) {
  const int fd = openSource(path, why);
  if (fd < 0) return false;
  BoundedLines lines;
  bool usable = true;
  auto onLine = [&](std::string_view line, int lineNo, bool tooLong) {
    if (usable) usable = reader.line(line, lineNo, tooLong, rows, tally, problems);
  };
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0 || !usable) break;
    lines.feed(std::string_view(buf, static_cast<std::size_t>(n)), onLine);
  }
  ::close(fd);
  if (usable) lines.end(onLine);
  return true;
}

// Writes each file whole or not at all: every file goes to a temporary name first, all are
// flushed, then renamed, then the folder is flushed once. Flushed together, the files reach the
// disk in one go instead of one commit each. `text(i)` makes the i-th file's contents when it
// is written, so only one is held at a time. Returns how many files are in place; `failed`
// names the first that is not (no temporary file is left).
template <class Text>
int writeFilesTogether(const std::vector<std::string>& targets, Text&& text, std::string& failed) {
  const std::string suffix = ".tmp-" + std::to_string(static_cast<long>(::getpid()));
  auto cleanUp = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) ::unlink((targets[i] + suffix).c_str());
  };
  // Each file written and closed (a long import has more days than a process may hold open
  // files), then each flushed through a new descriptor.
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const int fd = ::open((targets[i] + suffix).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                          0666);
    bool ok = fd >= 0;
    const std::string contents = ok ? text(i) : std::string();
    for (std::size_t done = 0; ok && done < contents.size();) {
      const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
    }
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok) {
      failed = targets[i];
      cleanUp(0, i + 1);
      return 0;
    }
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const int fd = ::open((targets[i] + suffix).c_str(), O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) {
      failed = targets[i];
      cleanUp(0, targets.size());
      return 0;
    }
  }
  int placed = 0;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (std::rename((targets[i] + suffix).c_str(), targets[i].c_str()) != 0) {
      failed = targets[i];
      cleanUp(i, targets.size());
      break;
    }
    ++placed;
  }
  if (!targets.empty()) {
    const int dir = ::open(fs::path(targets[0]).parent_path().string().c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      (void)::fsync(dir);
      ::close(dir);
    }
  }
  return placed;
}

bool readWhole(const fs::path& path, std::string& text) {
  return marketdb::opened(marketdb::readWholeFile(path.c_str(), text, false));
}

bool isSourceName(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".csv" || ext == ".txt";
}

// Prints the problems from `from` on: at most ProblemsShownPerFile lines of each file, then how
// many more of it were left out.
constexpr int ProblemsShownPerFile = 10;
void report(std::ostream& out, const std::vector<ImportProblem>& problems, std::size_t from) {
  std::map<std::string, int> shown;
  std::map<std::string, int> more;
  for (std::size_t i = from; i < problems.size(); ++i) {
    const ImportProblem& p = problems[i];
    if (p.line > 0 && ++shown[p.file] > ProblemsShownPerFile) {
      ++more[p.file];
      continue;
    }
    if (p.line > 0)
      out << p.file << ':' << p.line << ": " << p.reason << "; line left out\n";
    else
      out << p.file << ": " << p.reason << "; file left out\n";
  }
  for (const auto& [file, n] : more)
    out << file << ": " << n << " more line" << (n == 1 ? "" : "s") << " left out\n";
}

template <class List>
std::string firstCodes(const List& codes) {
  std::ostringstream s;
  std::size_t n = 0;
  for (const auto& c : codes) {
    if (n == 5) {
      s << " ...";
      break;
    }
    s << (n++ ? " " : "") << c;
  }
  return s.str();
}

// The stocks left out, a line per reason, before anything is written.
void reportLeftOut(std::ostream& out, const ImportPlan& plan, std::size_t held, bool wide,
                   int stockLimit) {
  auto line = [&](const auto& codes, const std::string& why) {
    if (codes.empty()) return;
    out << "not imported: " << codes.size() << (codes.size() == 1 ? " stock " : " stocks ") << why
        << ": " << firstCodes(codes) << '\n';
  };
  line(plan.notChosen, "not in the code list");
  line(plan.lettered, "with letters in the code, which the database cannot hold");
  line(plan.aboveRange, "with prices above " +
                            std::to_string(wide ? WideMaxCsvPrice : ClassicMaxCsvPrice) +
                            " yen, which the database cannot hold");
  line(plan.beyondLimit, "beyond the " + std::to_string(stockLimit) +
                             " stocks the database holds (" + std::to_string(held) +
                             " held already)");
  if (!wide && (!plan.lettered.empty() || !plan.aboveRange.empty() || !plan.beyondLimit.empty()))
    out << "  choose the stocks to import with --codes FILE; all of them need a database of the\n"
           "  wide kind (more stocks, codes with letters, higher prices: pelinorx init W --wide)\n";
}

// What the wide database here says: its letter, newest stored date, stocks held and capacity.
// False with a line to the user when one of its files cannot be read.
bool readWideDatabase(std::ostream& out, char& kind, int& afterFullDate, ImportChoice& choice) {
  auto refuse = [&](const char* file, const std::string& why) {
    out << file << ": " << why << "; nothing written\n";
    return false;
  };
  auto readText = [&](const char* file, std::string& text) {
    if (marketdb::opened(marketdb::readWholeFile(file, text, false))) return true;
    return refuse(file, "cannot be read");
  };
  std::string text;
  marketdb::WideSettings win;
  if (!readText(marketdb::WideSettingsFileName, text)) return false;
  if (const marketdb::WideCheck c = marketdb::parseWideSettingsFile(text, win); !c.ok)
    return refuse(marketdb::WideSettingsFileName, "not a settings file this version reads");
  if (win.win.databaseKind != 0 && win.win.databaseKind != 1)
    return refuse(marketdb::WideSettingsFileName, "cannot read the database kind");
  kind = win.win.databaseKind == 0 ? 'W' : 'N';
  marketdb::WideSystem sys;
  if (!readText(marketdb::WideSystemFileName, text)) return false;
  if (const marketdb::WideCheck c = marketdb::parseWideSystemFile(text, sys); !c.ok)
    return refuse(marketdb::WideSystemFileName, "not a system file this version reads");
  afterFullDate = sys.lastStoreDate;
  marketdb::WideHeader header;
  if (!marketdb::readWideHeader(marketdb::WidePriceFileName, header).ok)
    return refuse(marketdb::WidePriceFileName, "its header cannot be read");
  std::vector<marketdb::WideIndexEntry> entries;
  if (!readText(marketdb::WideIndexFileName, text)) return false;
  if (const marketdb::WideCheck c = marketdb::parseWideIndex(text, header.capacity,
                                                             header.recordsAssigned, entries);
      !c.ok)
    return refuse(marketdb::WideIndexFileName, "does not pass its check");
  for (const marketdb::WideIndexEntry& e : entries) choice.held.insert(e.code);
  choice.stockLimit = static_cast<int>(header.capacity);
  return true;
}

}  // namespace

// Streams every source in turn: a source that cannot be read, or whose header is not usable, is
// reported once and left out, and the import goes on with the rest. Bad lines are reported with
// their file and line number and left out. Stocks the database cannot hold are reported
// together before anything is written. Each daily file is written atomically; a file of the same
// name that already exists is left alone when it holds the same lines, else the import writes
// nothing.
int batchImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string namesPath;
  std::string codesPath;
  std::string outDir = ".";
  char kindOption = 0;
  bool wideOption = false;
  std::vector<std::string> sources;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--wide") {
      wideOption = true;
    } else if (a == "--names" || a == "--codes" || a == "--kind" || a == "--out") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        usage(err);
        return 2;
      }
      const std::string& v = args[++i];
      if (a == "--names") namesPath = v;
      if (a == "--codes") codesPath = v;
      if (a == "--out") outDir = v;
      if (a == "--kind") {
        if (v != "W" && v != "N") {
          usage(err);
          return 2;
        }
        kindOption = v[0];
      }
    } else if (a.rfind("--", 0) == 0) {
      usage(err);
      return 2;
    } else {
      sources.push_back(a);
    }
  }
  if (sources.empty()) {
    usage(err);
    return 2;
  }

  // The letter, the newest stored date and the stocks held come from the database when there is
  // one.
  char kind = kindOption;
  int afterFullDate = 0;
  ImportChoice choice;
  const marketdb::FolderKind folder = marketdb::folderKind();
  if (!folder.refusal.empty()) {
    out << pelinor::text::toUtf8(folder.refusal) << '\n';
    return 1;
  }
  const bool wideHere = folder.kind == marketdb::DatabaseKind::Wide;
  choice.wide = wideOption || wideHere;
  if (wideHere) {
    if (!readWideDatabase(out, kind, afterFullDate, choice)) return 1;
    if (kindOption && kindOption != kind) {
      out << "the database here takes " << kind << " files, not " << kindOption << '\n';
      return 1;
    }
  } else if (fs::exists(marketdb::SettingsFileName)) {
    if (wideOption) {
      out << "the database here is of the classic kind; --wide makes files it cannot store\n";
      return 1;
    }
    marketdb::SettingsFile win;
    marketdb::SystemFile sys;
    if (marketdb::readSettingsFile(win, 4) != marketdb::FileStatus::Ok ||
        (win.databaseKind != 0 && win.databaseKind != 1)) {
      out << "cannot read the database kind from " << marketdb::SettingsFileName << '\n';
      return 1;
    }
    const char dbKind = win.databaseKind == 0 ? 'W' : 'N';
    if (kindOption && kindOption != dbKind) {
      out << "the database here takes " << dbKind << " files, not " << kindOption << '\n';
      return 1;
    }
    kind = dbKind;
    if (marketdb::readSystemFile(sys) == marketdb::FileStatus::Ok && sys.lastStoreDate > 0)
      afterFullDate = sys.lastStoreDate;
    auto table = std::make_unique<marketdb::StockTable>();
    if (marketdb::readStockTable(*table) == marketdb::FileStatus::Ok)
      for (int i = 0; i < table->count; ++i)
        choice.held.insert(table->kcodeidx[i]);
  }
  if (!kind) {
    err << "pelinorx import: there is no database here; give --kind W or --kind N\n";
    return 2;
  }

  std::vector<ImportProblem> problems;
  StockLabels labels;
  std::set<std::string> chosen;
  std::error_code ec;
  std::vector<fs::path> lists;  // never read as price files
  for (const std::string* path : {&namesPath, &codesPath}) {
    if (path->empty()) continue;
    std::string text;
    std::string why;
    if (!readList(*path, text, why)) {
      out << *path << ": cannot be read (" << why << "); nothing written\n";
      return 1;
    }
    if (path == &namesPath) labels = parseNameList(text, *path, problems, choice.wide);
    else chosen = parseCodeList(text, *path, problems);
    lists.push_back(fs::weakly_canonical(*path, ec));
  }
  if (!codesPath.empty()) choice.chosen = &chosen;
  report(out, problems, 0);
  std::size_t listProblems = problems.size();

  // The files to read: named ones as they are, folders by their *.csv and *.txt files in name
  // order.
  std::vector<std::string> files;
  for (const std::string& source : sources) {
    if (fs::is_directory(source, ec)) {
      std::vector<std::string> inside;
      for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || !isSourceName(it->path())) continue;
        if (!lists.empty() &&
            std::find(lists.begin(), lists.end(), fs::weakly_canonical(it->path(), ec)) !=
                lists.end())
          continue;
        inside.push_back(it->path().string());
      }
      if (ec) {
        out << source << ": the folder cannot be read (" << ec.message() << "); left out\n";
        ec.clear();
        continue;
      }
      std::sort(inside.begin(), inside.end());
      files.insert(files.end(), inside.begin(), inside.end());
    } else {
      files.push_back(source);
    }
  }

  PriceRows rows;
  ImportTally tally;
  int filesUsed = 0;
  int filesLeftOut = 0;
  std::size_t linesLeftOut = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::size_t from = problems.size();
    PriceCsvReader reader(files[i], codeFromFileName(files[i]), static_cast<int>(i),
                          afterFullDate, choice.wide);
    std::string why;
    if (!readSource(files[i], reader, rows, tally, problems, why)) {
      out << files[i] << ": cannot be read (" << why << "); file left out\n";
      ++filesLeftOut;
    } else if (!reader.finish(problems)) {
      ++filesLeftOut;
    } else {
      ++filesUsed;
    }
    report(out, problems, from);
    for (std::size_t k = from; k < problems.size(); ++k) linesLeftOut += problems[k].line > 0;
    problems.resize(from);  // printed; a whole market's reports are not held
  }
  if (filesUsed == 0) {
    out << "no source could be used; nothing written\n";
    return 1;
  }
  const std::size_t rowsRead = rows.size();
  const ImportPlan plan = planImport(std::move(rows), tally, choice, files, problems);
  report(out, problems, listProblems);
  for (std::size_t k = listProblems; k < problems.size(); ++k) linesLeftOut += problems[k].line > 0;
  out << "read " << filesUsed << " file" << (filesUsed == 1 ? "" : "s");
  if (filesLeftOut) out << " (" << filesLeftOut << " left out)";
  out << ", " << rowsRead << " price lines to write; " << linesLeftOut << " line"
      << (linesLeftOut == 1 ? "" : "s") << " left out\n";
  if (afterFullDate)
    out << "dates up to " << std::to_string(afterFullDate).substr(2)
        << " are in the database already and are not written\n";
  reportLeftOut(out, plan, choice.held.size(), choice.wide, choice.stockLimit);
  if (plan.days.empty()) {
    out << "no daily price files to write\n";
    return rowsRead == 0 && tally.priorClose.empty() ? 1 : 0;
  }

  // Never replace a file that holds something else: check every name before writing any.
  fs::create_directories(outDir, ec);
  if (!fs::is_directory(outDir, ec)) {
    out << outDir << ": not a folder that can be written; nothing written\n";
    return 1;
  }
  std::vector<bool> same(plan.days.size(), false);
  int clashes = 0;
  for (std::size_t i = 0; i < plan.days.size(); ++i) {
    const fs::path target = fs::path(outDir) / dailyFileName(kind, plan.days[i].fullDate);
    if (!fs::exists(fs::symlink_status(target, ec))) continue;
    std::string existing;
    if (fs::is_regular_file(target, ec) && readWhole(target, existing) &&
        existing == dailyFileText(plan, plan.days[i], labels, kind, choice.wide)) {
      same[i] = true;
      continue;
    }
    if (++clashes <= 5) out << target.string() << " exists already with other lines\n";
  }
  if (clashes) {
    out << clashes << " daily file" << (clashes == 1 ? "" : "s")
        << " would be replaced; nothing written (move them away or choose --out)\n";
    return 1;
  }

  std::vector<std::string> targets;
  for (std::size_t i = 0; i < plan.days.size(); ++i) {
    if (same[i]) continue;
    targets.push_back((fs::path(outDir) / dailyFileName(kind, plan.days[i].fullDate)).string());
  }
  std::size_t next = 0;
  std::string failed;
  const int written = writeFilesTogether(
      targets,
      [&](std::size_t) {
        while (same[next]) ++next;
        return dailyFileText(plan, plan.days[next++], labels, kind, choice.wide);
      },
      failed);
  if (written < static_cast<int>(targets.size())) {
    out << failed << ": cannot be written; ";
    if (written == 0) out << "nothing written\n";
    else out << written << " daily files before it were written\n";
    return 1;
  }
  out << "wrote " << targets.size() << " daily price files "
      << dailyFileName(kind, plan.days.front().fullDate) << " .. "
      << dailyFileName(kind, plan.days.back().fullDate) << " (" << plan.stocks
      << (plan.stocks == 1 ? " stock) to " : " stocks) to ")
      << outDir;
  if (targets.size() != plan.days.size())
    out << " (" << plan.days.size() - targets.size()
        << " were there already with the same lines)";
  out << '\n';
  return 0;
}

}  // namespace dbprogram
