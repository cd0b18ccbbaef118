#include "apps/cli.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>

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
    out << "  " << name << " init W|N                    create an empty database\n"
        << "  " << name << " store FILE...               store daily price files in order\n"
        << "  " << name << " analyze YYMMDD              run the analysis with that comparison"
        << " date\n";
  }
  out << "  " << name << " --help                      show this help\n"
      << "Options:\n"
      << "  --size WxH      client size in pixels, 1 to " << MaxClientSide
      << " each (default " << DefaultClientSize.cx << "x" << DefaultClientSize.cy << ")\n";
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

struct Options {
  std::optional<std::string> script;
  TSize size = DefaultClientSize;
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
    }
  }
  return std::nullopt;
}

}  // namespace

int runProgram(int argc, char** argv, const AppFactory& makeApp, const BatchHandler& batch) {
  const std::string name = programName(argc, argv);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    printUsage(std::cout, name);
    return 0;
  }

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
  if (options.script) {
    ScriptHost host(*script, *options.script, options.size, std::cout, std::cerr);
    return app->Run(host);
  }
  SdlHost host(options.size);
  return app->Run(host);
}
