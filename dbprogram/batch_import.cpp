// pelinorx import: per-stock CSV price files -> daily price files the store takes.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dbprogram/batch.h"
#include "dbprogram/csv_import.h"
#include "marketdb/files.h"

namespace dbprogram {

namespace {

namespace fs = std::filesystem;

void usage(std::ostream& err) {
  err << "usage: pelinorx import [--names FILE] [--kind W|N] [--out DIR] SOURCE...\n"
         "  SOURCE     a CSV file (Date,Open,High,Low,Close,Volume after a header line, named\n"
         "             by its stock code as 7203.csv, or with a Code column), or a folder of\n"
         "             such *.csv files\n"
         "  --names    a list of code,name[,market] lines (CP932 or UTF-8)\n"
         "  --kind     W or N: the daily files' letter when there is no database here\n"
         "  --out DIR  where the daily files go (default: the working directory)\n";
}

// Reads a whole file; when it cannot, `why` says what stood in the way.
bool readWhole(const fs::path& path, std::string& text, std::string& why) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    why = "it is a folder";
    return false;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = errno != 0 ? std::strerror(errno) : "it cannot be opened";
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    why = errno != 0 ? std::strerror(errno) : "a read error";
    return false;
  }
  text = buffer.str();
  return true;
}

bool endsWithCsv(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".csv";
}

void report(std::ostream& out, const std::vector<ImportProblem>& problems, std::size_t from) {
  for (std::size_t i = from; i < problems.size(); ++i) {
    const ImportProblem& p = problems[i];
    if (p.line > 0)
      out << p.file << ':' << p.line << ": " << p.reason << "; line left out\n";
    else
      out << p.file << ": " << p.reason << '\n';
  }
}

}  // namespace

// Reads every source in full before anything is written: a source that cannot be read, or
// whose header is not usable, stops the import with no file written. Bad lines are reported with
// their file and line number and left out. Each daily file is written atomically; a file of the
// same name that already exists is left alone when it holds the same lines, else the import
// writes nothing.
int batchImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string namesPath;
  std::string outDir = ".";
  char kindOption = 0;
  std::vector<std::string> sources;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--names" || a == "--kind" || a == "--out") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        usage(err);
        return 2;
      }
      const std::string& v = args[++i];
      if (a == "--names") namesPath = v;
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

  // The letter and the newest stored date come from the database when there is one.
  char kind = kindOption;
  int afterFullDate = 0;
  if (fs::exists(marketdb::SettingsFileName)) {
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
      afterFullDate = fullDateOf(static_cast<int>(sys.lastStoreDate));
  }
  if (!kind) {
    err << "pelinorx import: there is no database here; give --kind W or --kind N\n";
    return 2;
  }

  std::vector<ImportProblem> problems;
  std::map<int, StockLabel> labels;
  std::error_code ec;
  fs::path namesCanonical;
  if (!namesPath.empty()) {
    std::string text;
    std::string why;
    if (!readWhole(namesPath, text, why)) {
      out << namesPath << ": cannot be read (" << why << "); nothing written\n";
      return 1;
    }
    labels = parseNameList(text, namesPath, problems);
    namesCanonical = fs::weakly_canonical(namesPath, ec);
  }

  // The files to read: named ones as they are, folders by their *.csv files in name order.
  std::vector<std::string> files;
  for (const std::string& source : sources) {
    if (fs::is_directory(source, ec)) {
      std::vector<std::string> inside;
      for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || !endsWithCsv(it->path())) continue;
        if (!namesCanonical.empty() && fs::weakly_canonical(it->path(), ec) == namesCanonical)
          continue;
        inside.push_back(it->path().string());
      }
      if (ec) {
        out << source << ": the folder cannot be read (" << ec.message() << "); nothing written\n";
        return 1;
      }
      std::sort(inside.begin(), inside.end());
      files.insert(files.end(), inside.begin(), inside.end());
    } else {
      files.push_back(source);
    }
  }

  std::vector<CsvPriceRow> rows;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string text;
    std::string why;
    if (!readWhole(files[i], text, why)) {
      report(out, problems, 0);
      out << files[i] << ": cannot be read (" << why << "); nothing written\n";
      return 1;
    }
    if (!parsePriceCsv(text, files[i], codeFromFileName(files[i]), static_cast<int>(i), rows,
                       problems)) {
      report(out, problems, 0);
      out << "nothing written\n";
      return 1;
    }
  }
  const std::size_t rowsRead = rows.size();
  std::vector<DailyPriceFile> daily =
      buildDailyFiles(std::move(rows), labels, kind, afterFullDate, files, problems);
  report(out, problems, 0);
  out << "read " << files.size() << " file" << (files.size() == 1 ? "" : "s") << ", "
      << rowsRead << " price lines; " << problems.size() << " line"
      << (problems.size() == 1 ? "" : "s") << " left out\n";
  if (afterFullDate)
    out << "dates up to " << std::to_string(afterFullDate).substr(2)
        << " are in the database already and are not written\n";
  if (daily.empty()) {
    out << "no daily price files to write\n";
    return rowsRead == 0 ? 1 : 0;
  }

  // Never replace a file that holds something else: check every name before writing any.
  fs::create_directories(outDir, ec);
  if (!fs::is_directory(outDir, ec)) {
    out << outDir << ": not a folder that can be written; nothing written\n";
    return 1;
  }
  std::vector<bool> same(daily.size(), false);
  int clashes = 0;
  for (std::size_t i = 0; i < daily.size(); ++i) {
    const fs::path target = fs::path(outDir) / daily[i].name;
    if (!fs::exists(fs::symlink_status(target, ec))) continue;
    std::string existing;
    std::string why;
    if (fs::is_regular_file(target, ec) && readWhole(target, existing, why) &&
        existing == daily[i].contents) {
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

  int written = 0;
  for (std::size_t i = 0; i < daily.size(); ++i) {
    if (same[i]) continue;
    const fs::path target = fs::path(outDir) / daily[i].name;
    if (!marketdb::replaceFileAtomically(target.string(), daily[i].contents)) {
      out << target.string() << ": cannot be written; " << written
          << " daily files before it were written\n";
      return 1;
    }
    ++written;
  }
  out << "wrote " << written << " daily price files " << daily.front().name << " .. "
      << daily.back().name << " to " << outDir;
  if (written != static_cast<int>(daily.size()))
    out << " (" << daily.size() - static_cast<std::size_t>(written)
        << " were there already with the same lines)";
  out << '\n';
  return 0;
}

}  // namespace dbprogram
