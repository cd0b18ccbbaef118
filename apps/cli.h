// The command-line front shared by both programs:
//   PROGRAM                      the window on the data files in the working directory
//   PROGRAM --script FILE        headless: run the events of FILE ('-' = standard input)
//           --size WxH           client size in pixels (default 640x480), both hosts
//   -C DIR, --directory DIR      work on the data files of DIR (every other name is then
//                                taken relative to DIR); may be given more than once
//   --data-home                  work on $XDG_DATA_HOME/pelinor (default ~/.local/share/pelinor),
//                                created when absent (the desktop entries use it)
//   --version, --help
// Anything else is handed to the program's batch handler (pelinorx init/store/analyze/import).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/window.h"

using AppFactory = std::function<std::unique_ptr<TApplication>()>;
// Returns the exit status, or -1 when the arguments are not a batch command of the program.
using BatchHandler = std::function<int(const std::vector<std::string>& args)>;

// What --version prints: the window title (CP932, ending in its version word) and the build.
struct VersionInfo {
  std::string titleCp932;
  std::string build;
};

int runProgram(int argc, char** argv, const AppFactory& makeApp, const BatchHandler& batch,
               const VersionInfo& version = {});
