#include "apps/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>

#include "platform/gdi/glyph_cache.h"
#include "platform/text/cp932.h"

#include "platform/host/script_host.h"
#include "platform/host/sdl_host.h"

namespace {

constexpr int MaxClientSide = 8192;
constexpr TSize DefaultClientSize{640, 480};

std::string programName(int argc, char** argv) {
  if (argc < 1 || !argv[0] || !*argv[0]) return "pelinor";
  std::string path = argv[0];
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void printUsage(std::ostream& out, const std::string& name) {
  out << "Usage:\n"
      << "  " << name << " [--size WxH]                open the window on the data files in the"
      << " working directory\n"
      << "  " << name << " --script FILE [--size WxH]  run the events of FILE without a window"
      << " ('-' = standard input)\n";
  if (name == "pelinorx") {
    out << "  " << name << " init W|N [--wide]           create an empty database\n"
        << "  " << name << " store FILE...               store daily price files in order\n"
        << "  " << name << " analyze YYMMDD              run the analysis with that comparison"
        << " date\n"
        << "  " << name << " import [OPTIONS] SOURCE...  turn per-stock CSV price files into"
        << " daily price files\n"
        << "  " << name << " clear-stale                 empty the records stocks kept from the"
        << " ring's previous lap\n";
  }
  out << "  " << name << " --version                   show the version and the build\n"
      << "  " << name << " --help                      show this help\n"
      << "Options (before the command):\n"
      << "  -C DIR, --directory DIR  work on the data files of DIR instead of the working"
      << " directory;\n"
      << "                           other file names are then taken relative to DIR\n"
      << "  --data-home              work on $XDG_DATA_HOME/pelinor (by default"
      << " ~/.local/share/pelinor),\n"
      << "                           created when absent\n"
      << "  --size WxH               client size in pixels, 1 to " << MaxClientSide
      << " each (default " << DefaultClientSize.cx << "x" << DefaultClientSize.cy << ")\n";
}

void printVersion(std::ostream& out, const std::string& name, const VersionInfo& version) {
  const std::string title = pelinor::text::toUtf8(version.titleCp932);
  const std::size_t space = title.find_last_of(' ');
  if (space == std::string::npos)
    out << name << (title.empty() ? "" : " " + title) << '\n';
  else
    out << name << " (" << title.substr(0, space) << ") " << title.substr(space + 1) << '\n';
  out << "build " << (version.build.empty() ? "unknown" : version.build) << '\n';
}

int usageError(const std::string& name, const std::string& message) {
  std::cerr << name << ": " << message << '\n';
  printUsage(std::cerr, name);
  return 2;
}

std::optional<int> parseSide(const std::string& s) {
  if (s.empty() || s.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > MaxClientSide) return std::nullopt;
  return value;
}

std::optional<TSize> parseSize(const std::string& s) {
  std::size_t x = s.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  auto w = parseSide(s.substr(0, x));
  auto h = parseSide(s.substr(x + 1));
  if (!w || !h) return std::nullopt;
  return TSize{*w, *h};
}

// A change of folder asked for on the command line, applied in the order given.
struct DirectoryChange {
  bool dataHome = false;  // --data-home
  std::string dir;        // -C DIR
};

// Creates each missing component of an absolute path with mode 0700 (as the folders of a
// user's data home are meant to be private); false with errno set on failure.
bool makeFolders(const std::string& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string prefix = path.substr(0, pos);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// $XDG_DATA_HOME/pelinor, or ~/.local/share/pelinor when it is unset, empty or relative (a
// relative value is to be ignored). Empty when neither gives an absolute folder.
std::string dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/pelinor";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/share/pelinor";
  return {};
}

// Enters each folder in turn; returns the exit status of the failure, or nothing.
std::optional<int> changeDirectories(const std::vector<DirectoryChange>& changes,
                                     const std::string& name) {
  for (const DirectoryChange& change : changes) {
    std::string dir = change.dir;
    if (change.dataHome) {
      dir = dataHome();
      if (dir.empty()) {
        std::cerr << name << ": --data-home: neither XDG_DATA_HOME nor HOME names an absolute"
                  << " folder\n";
        return 2;
      }
      struct stat st;
      if (::stat(dir.c_str(), &st) != 0) {
        if (!makeFolders(dir)) {
          std::cerr << name << ": cannot create the data folder '" << dir
                    << "': " << std::strerror(errno) << '\n';
          return 2;
        }
        std::cerr << name << ": created the data folder " << dir << '\n';
      }
    }
    if (::chdir(dir.c_str()) != 0) {
      std::cerr << name << ": cannot change to folder '" << dir << "': " << std::strerror(errno)
                << '\n';
      return 2;
    }
  }
  return std::nullopt;
}

// Takes the folder options out of the arguments up to the batch command word (or all of them
// for the window forms), leaving the rest in order. The values of --script and --size are
// stepped over, so a script named "-C" stays a script name.
std::optional<int> takeDirectoryOptions(std::vector<std::string>& args, const std::string& name,
                                        std::vector<DirectoryChange>& changes) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-C" || arg == "--directory" || arg.rfind("--directory=", 0) == 0) {
      std::string dir;
      if (arg.rfind("--directory=", 0) == 0) {
        dir = arg.substr(std::strlen("--directory="));
      } else {
        if (i + 1 >= args.size()) return usageError(name, "option " + arg + " needs a folder");
        dir = args[++i];
      }
      if (dir.empty()) return usageError(name, "option " + arg + " needs a folder");
      changes.push_back({false, dir});
    } else if (arg == "--data-home") {
      changes.push_back({true, {}});
    } else if (arg == "--script" || arg == "--size") {
      rest.push_back(arg);
      if (i + 1 < args.size()) rest.push_back(args[++i]);
    } else if (arg.rfind("-", 0) == 0) {
      rest.push_back(arg);
    } else {
      // The batch command: it and its own arguments stay as they are.
      rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
  }
  args = std::move(rest);
  return std::nullopt;
}

struct Options {
  std::optional<std::string> script;
  TSize size = DefaultClientSize;
  bool sizeGiven = false;
};

// Reads the window options; returns the exit status of a usage error, or nothing.
std::optional<int> parseOptions(const std::vector<std::string>& args, const std::string& name,
                                Options& options) {
  bool sizeGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> value;
    if (std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    if (arg != "--script" && arg != "--size")
      return usageError(name, "unexpected argument '" + args[i] + "'");
    if (!value) {
      if (i + 1 >= args.size()) return usageError(name, "option " + arg + " needs a value");
      value = args[++i];
    }
    if (arg == "--script") {
      if (options.script) return usageError(name, "--script given twice");
      if (value->empty()) return usageError(name, "--script needs a file name");
      options.script = *value;
    } else {
      if (sizeGiven) return usageError(name, "--size given twice");
      auto size = parseSize(*value);
      if (!size)
        return usageError(name, "invalid size '" + *value + "' (expected WxH, for example " +
                                    "640x480, each side 1 to " +
                                    std::to_string(MaxClientSide) + ")");
      options.size = *size;
      sizeGiven = true;
      options.sizeGiven = true;
    }
  }
  return std::nullopt;
}

}  // namespace

int runProgram(int argc, char** argv, const AppFactory& makeApp, const BatchHandler& batch,
               const VersionInfo& version) {
  const std::string name = programName(argc, argv);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  std::vector<DirectoryChange> changes;
  if (auto status = takeDirectoryOptions(args, name, changes)) return *status;

  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    printUsage(std::cout, name);
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    printVersion(std::cout, name, version);
    return 0;
  }
  if (auto status = changeDirectories(changes, name)) return *status;

  // Batch commands are words; the window options begin with "--".
  if (!args.empty() && args[0].rfind("--", 0) != 0) {
    int status = batch ? batch(args) : -1;
    if (status >= 0) return status;
    return usageError(name, "unknown command '" + args[0] + "'");
  }

  Options options;
  if (auto status = parseOptions(args, name, options)) return *status;

  // The script is opened before the window is created, so a wrong name changes nothing.
  std::ifstream scriptFile;
  std::istream* script = &std::cin;
  if (options.script && *options.script != "-") {
    scriptFile.open(*options.script, std::ios::binary);
    if (!scriptFile) {
      std::cerr << name << ": cannot open script '" << *options.script
                << "': " << std::strerror(errno) << '\n';
      return 2;
    }
    script = &scriptFile;
  }

  std::unique_ptr<TApplication> app = makeApp ? makeApp() : nullptr;
  if (!app) {
    std::cerr << name << ": the program could not be created\n";
    return 1;
  }
  int status = 0;
  if (options.script) {
    ScriptHost host(*script, *options.script, options.size, std::cout, std::cerr);
    status = app->Run(host);
  } else {
    SdlHost host(options.size, name, options.sizeGiven);
    status = app->Run(host);
  }
  // Glyphs rendered for the first time are kept for the next start.
  pelinor::gdi::saveGlyphCache();
  return status;
}
