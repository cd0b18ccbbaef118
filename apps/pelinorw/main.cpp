// The chart viewer: the TChart window in its frame.
#include <memory>

#include "apps/build_id.h"
#include "apps/cli.h"
#include "resources/pelinorw_resources.h"
#include "viewer/tchart.h"

class pelinorwApp : public TApplication {
 public:
  pelinorwApp() : TApplication(pelinorwTitle()) {}

  void InitMainWindow() override {
    auto frame = std::make_unique<SDIDecFrame>(GetName(), std::make_unique<viewer::TChart>(),
                                               pelinorwResources());
    frame->SetShowMinimized(startedMinimized);
    frame->SetIcon(1001);
    frame->AssignMenu(100);
    frame->SetAcceleratorTable(100);
    SetMainWindow(std::move(frame));
  }
};

int main(int argc, char** argv) {
  // The viewer has no batch commands.
  return runProgram(
      argc, argv, [] { return std::make_unique<pelinorwApp>(); },
      [](const std::vector<std::string>&) { return -1; },
      VersionInfo{pelinorwTitle(), pelinorBuildId()});
}
