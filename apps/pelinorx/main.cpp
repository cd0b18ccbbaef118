// The database program: the UCHART window in its frame, or a batch command.
#include <iostream>
#include <memory>

#include "apps/build_id.h"
#include "apps/cli.h"
#include "dbprogram/batch.h"
#include "dbprogram/uchart.h"
#include "resources/pelinorx_resources.h"

class pelinorxApp : public TApplication {
 public:
  pelinorxApp() : TApplication(pelinorxTitle()) {}

  void InitMainWindow() override {
    auto frame = std::make_unique<SDIDecFrame>(GetName(), std::make_unique<dbprogram::UCHART>(),
                                               pelinorxResources());
    frame->SetShowMinimized(startedMinimized);
    frame->SetIcon(1001);
    frame->AssignMenu(100);
    frame->SetAcceleratorTable(100);
    SetMainWindow(std::move(frame));
  }
};

int main(int argc, char** argv) {
  return runProgram(
      argc, argv, [] { return std::make_unique<pelinorxApp>(); },
      [](const std::vector<std::string>& args) {
        return dbprogram::runBatch(args, std::cout, std::cerr);
      },
      VersionInfo{pelinorxTitle(), pelinorBuildId()});
}
