// The command-line front: options, usage errors, batch hand-off and script runs.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "apps/cli.h"
#include "tests/support/test_support.h"

// The front is compiled into this test program so it can be driven without starting a program.
#include "apps/cli.cpp"

namespace {

class Capture {
 public:
  explicit Capture(std::ostream& stream) : stream_(stream), old_(stream.rdbuf(buffer_.rdbuf())) {}
  ~Capture() { stream_.rdbuf(old_); }
  std::string text() const { return buffer_.str(); }

 private:
  std::ostream& stream_;
  std::ostringstream buffer_;
  std::streambuf* old_;
};

struct Seen {
  int apps = 0;
  std::vector<std::vector<std::string>> batches;
  std::vector<TSize> clientSizes;  // at each paint
  std::vector<int> commands;
};

class SizeWindow : public TWindow {
 public:
  explicit SizeWindow(Seen& seen) : seen_(seen) {}
  void Paint(TDC&, bool, TRect&) override {
    TRect r = GetClientRect();
    seen_.clientSizes.push_back({r.right, r.bottom});
  }
  bool EvCommand(int id) override {
    seen_.commands.push_back(id);
    Invalidate();
    return true;
  }

 private:
  Seen& seen_;
};

class TestApp : public TApplication {
 public:
  explicit TestApp(Seen& seen) : TApplication("test"), seen_(seen) {}
  void InitMainWindow() override {
    static const ResourceSet resources = [] {
      ResourceSet s;
      s.menus[100].items = {{1, "One"}};
      return s;
    }();
    auto frame =
        std::make_unique<SDIDecFrame>(GetName(), std::make_unique<SizeWindow>(seen_), resources);
    frame->AssignMenu(100);
    SetMainWindow(std::move(frame));
  }

 private:
  Seen& seen_;
};

struct Result {
  int status = 0;
  std::string out;
  std::string err;
};

// Runs the front as program `name` with the arguments; the batch handler knows "init".
Result run(Seen& seen, const std::vector<std::string>& args, const std::string& name = "pelinorx") {
  std::vector<std::string> storage{name};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  AppFactory factory = [&seen] {
    ++seen.apps;
    return std::make_unique<TestApp>(seen);
  };
  BatchHandler batch = [&seen](const std::vector<std::string>& a) {
    seen.batches.push_back(a);
    if (a[0] != "init") return -1;
    return a.size() == 2 ? 0 : 2;
  };
  Result r;
  Capture out(std::cout);
  Capture err(std::cerr);
  r.status = runProgram(static_cast<int>(storage.size()), argv.data(), factory, batch);
  r.out = out.text();
  r.err = err.text();
  return r;
}

TEST(CommandLine, HelpPrintsTheFormsOfTheProgram) {
  Seen seen;
  Result x = run(seen, {"--help"}, "/usr/bin/pelinorx");
  EXPECT_EQ(x.status, 0);
  EXPECT_NE(x.out.find("pelinorx --script FILE"), std::string::npos);
  EXPECT_NE(x.out.find("init W|N"), std::string::npos);
  EXPECT_NE(x.out.find("analyze YYMMDD"), std::string::npos);
  Result w = run(seen, {"--help"}, "pelinorw");
  EXPECT_EQ(w.status, 0);
  EXPECT_NE(w.out.find("pelinorw --script FILE"), std::string::npos);
  EXPECT_EQ(w.out.find("init"), std::string::npos);  // the viewer has no batch commands
  EXPECT_EQ(seen.apps, 0);
}

TEST(CommandLine, UsageErrorsExitWith2WithoutStartingTheProgram) {
  const std::vector<std::vector<std::string>> cases = {
      {"--size", "0x480"},      {"--size", "640"},         {"--size", "640x"},
      {"--size", "x480"},       {"--size", "abcx10"},      {"--size", "8193x100"},
      {"--size", "-5x10"},      {"--size", "640x480x2"},   {"--size"},
      {"--script"},             {"--script", ""},          {"--bogus"},
      {"--script", "a", "--script", "b"},                  {"--size", "10x10", "extra"},
      {"--size=12"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    Seen seen;
    Result r = run(seen, args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage:"), std::string::npos) << r.err;
    EXPECT_EQ(seen.apps, 0);
    EXPECT_TRUE(seen.batches.empty());
  }
}

TEST(CommandLine, MissingScriptFileIsNamed) {
  testsupport::TempWorkDir dir;
  Seen seen;
  Result r = run(seen, {"--script", "nothere.txt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("nothere.txt"), std::string::npos) << r.err;
  EXPECT_EQ(seen.apps, 0);
}

TEST(CommandLine, WordsGoToTheBatchHandler) {
  Seen seen;
  Result ok = run(seen, {"init", "W"});
  EXPECT_EQ(ok.status, 0);
  Result bad = run(seen, {"init"});
  EXPECT_EQ(bad.status, 2);
  ASSERT_EQ(seen.batches.size(), 2u);
  EXPECT_EQ(seen.batches[0], (std::vector<std::string>{"init", "W"}));
  EXPECT_EQ(seen.apps, 0);

  Result unknown = run(seen, {"frobnicate", "1"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
  EXPECT_NE(unknown.err.find("Usage:"), std::string::npos);
  EXPECT_EQ(seen.apps, 0);
}

TEST(CommandLine, ScriptRunsHeadlessAtTheGivenSize) {
  testsupport::TempWorkDir dir;
  testsupport::writeFile("events.txt", "menu 1\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--script", "events.txt", "--size", "300x200"},
           {"--size=300x200", "--script=events.txt"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    Seen seen;
    Result r = run(seen, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(seen.apps, 1);
    EXPECT_EQ(seen.commands, std::vector<int>{1});
    ASSERT_EQ(seen.clientSizes.size(), 2u);  // first paint, then after the command
    EXPECT_EQ(seen.clientSizes[1].cx, 300);
    EXPECT_EQ(seen.clientSizes[1].cy, 200);
  }
}

TEST(CommandLine, ScriptDefaultsTo640x480AndReportsBadLines) {
  testsupport::TempWorkDir dir;
  testsupport::writeFile("bad.txt", "menu 1\nmenu 2\nmenu 1\n");
  Seen seen;
  Result r = run(seen, {"--script", "bad.txt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("bad.txt:2: menu id 2 is not on the menu bar"), std::string::npos)
      << r.err;
  EXPECT_EQ(seen.commands, std::vector<int>{1});
  ASSERT_FALSE(seen.clientSizes.empty());
  EXPECT_EQ(seen.clientSizes[0].cx, 640);
  EXPECT_EQ(seen.clientSizes[0].cy, 480);
}

TEST(CommandLine, ScriptFromStandardInput) {
  std::istringstream events("menu 1\nmenu 1\n");
  std::streambuf* old = std::cin.rdbuf(events.rdbuf());
  Seen seen;
  Result r = run(seen, {"--script", "-"});
  std::cin.rdbuf(old);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(seen.commands, (std::vector<int>{1, 1}));
}

}  // namespace
