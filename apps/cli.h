// The command-line front shared by both programs:
//   PROGRAM                      the window on the data files in the working directory
//   PROGRAM --script FILE        headless: run the events of FILE ('-' = standard input)
//           --size WxH           client size in pixels (default 640x480), both hosts
// Anything else is handed to the program's batch handler (pelinorx init/store/analyze).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/window.h"

using AppFactory = std::function<std::unique_ptr<TApplication>()>;
// Returns the exit status, or -1 when the arguments are not a batch command of the program.
using BatchHandler = std::function<int(const std::vector<std::string>& args)>;

int runProgram(int argc, char** argv, const AppFactory& makeApp, const BatchHandler& batch);
