#include "apps/cli.h"

int runProgram(int, char**, const AppFactory&, const BatchHandler&) { return 2; }
