// The command-line front: options, usage errors, batch hand-off and script runs.
#include <gtest/gtest.h>

#include <filesystem>
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

namespace {

namespace fs = std::filesystem;

// Each folder option form leaves the working directory where a user expects it, the batch
// command receiving the rest of the arguments unchanged.
TEST(CommandLine, FolderOptionsChangeTheWorkingDirectoryBeforeTheCommand) {
  struct Case {
    std::vector<std::string> args;
    std::string folder;  // relative to the temporary folder
  };
  const std::vector<Case> cases = {
      {{"-C", "db", "init", "W"}, "db"},
      {{"--directory", "db", "init", "W"}, "db"},
      {{"--directory=db/sub", "init", "W"}, "db/sub"},
      {{"-C", "db", "-C", "sub", "init", "W"}, "db/sub"},  // each relative to the one before
      {{"-C", "db/sub", "-C", "..", "init", "W"}, "db"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    testsupport::TempWorkDir dir;
    fs::create_directories("db/sub");
    Seen seen;
    Result r = run(seen, c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(seen.batches.size(), 1u);
    EXPECT_EQ(seen.batches[0], (std::vector<std::string>{"init", "W"}));
    EXPECT_EQ(fs::current_path(), fs::canonical(dir.path() / c.folder));
  }
}

TEST(CommandLine, AFolderThatCannotBeEnteredIsAUsageErrorNamingIt) {
  struct Case {
    std::vector<std::string> args;
    std::string folder;  // as the message must name it
  };
  const std::vector<Case> cases = {
      {{"-C", "missing", "init", "W"}, "missing"},
      {{"--directory=missing/deeper", "store", "W991230"}, "missing/deeper"},
      {{"-C", "plain-file", "init", "W"}, "plain-file"},
      {{"-C", "db", "-C", "missing", "init", "W"}, "missing"},
      {{"-C", "missing", "--script", "events.txt"}, "missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    testsupport::TempWorkDir dir;
    fs::create_directory("db");
    testsupport::writeFile("plain-file", "x");
    testsupport::writeFile("events.txt", "menu 1\n");
    Seen seen;
    Result r = run(seen, c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("'" + c.folder + "'"), std::string::npos) << r.err;
    EXPECT_TRUE(seen.batches.empty());
    EXPECT_EQ(seen.apps, 0);
  }
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-C"}, {"-C", ""}, {"--directory="}, {"init", "W", "-C"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    testsupport::TempWorkDir dir;
    Seen seen;
    Result r = run(seen, args);
    if (args[0] == "init") {
      // After the command word, -C belongs to the command.
      ASSERT_EQ(seen.batches.size(), 1u);
      EXPECT_EQ(seen.batches[0], args);
    } else {
      EXPECT_EQ(r.status, 2);
      EXPECT_NE(r.err.find("needs a folder"), std::string::npos) << r.err;
      EXPECT_TRUE(seen.batches.empty());
    }
  }
}

TEST(CommandLine, TheScriptIsFoundInTheFolderGiven) {
  testsupport::TempWorkDir dir;
  fs::create_directory("db");
  testsupport::writeFile("db/events.txt", "menu 1\nmenu 1\n");
  Seen seen;
  Result r = run(seen, {"--size", "100x80", "-C", "db", "--script", "events.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(seen.commands, (std::vector<int>{1, 1}));
  ASSERT_FALSE(seen.clientSizes.empty());
  EXPECT_EQ(seen.clientSizes[0].cx, 100);
  // A script named like the option stays a script name.
  fs::current_path(dir.path());
  testsupport::writeFile("-C", "menu 1\n");
  Seen seen2;
  Result r2 = run(seen2, {"--script", "-C"});
  EXPECT_EQ(r2.status, 0) << r2.err;
  EXPECT_EQ(seen2.commands, std::vector<int>{1});
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(CommandLine, DataHomeIsMadeUnderXdgDataHomeOrTheHomeFolder) {
  testsupport::TempWorkDir dir;
  const fs::path root = dir.path();
  struct Case {
    const char* xdg;        // nullptr: unset
    std::string expected;   // relative to root
  };
  const std::string xdg = (root / "xdg").string();
  const std::vector<Case> cases = {
      {xdg.c_str(), "xdg/pelinor"},
      {nullptr, "home/.local/share/pelinor"},
      {"", "home/.local/share/pelinor"},
      {"relative/xdg", "home/.local/share/pelinor"},  // a relative value is ignored
  };
  const std::string home = (root / "home").string();
  ScopedEnv homeEnv("HOME", home.c_str());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    fs::remove_all(root / "xdg");
    fs::remove_all(root / "home");
    fs::current_path(root);
    ScopedEnv xdgEnv("XDG_DATA_HOME", c.xdg);
    Seen seen;
    Result r = run(seen, {"--data-home", "init", "W"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fs::current_path(), root / c.expected);
    // Folders created for the data are the user's own.
    EXPECT_EQ(fs::status(root / c.expected).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_NE(r.err.find("created the data folder"), std::string::npos);
    // A second start finds it and says nothing.
    fs::current_path(root);
    Result again = run(seen, {"--data-home", "init", "W"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "");
    EXPECT_EQ(fs::current_path(), root / c.expected);
  }
  fs::current_path(root);
  ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
  ScopedEnv noHome("HOME", nullptr);
  Seen seen;
  Result r = run(seen, {"--data-home", "init", "W"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(seen.batches.empty());
}

TEST(CommandLine, VersionShowsTheTitlesVersionAndTheBuild) {
  Seen seen;
  std::vector<std::string> storage{"/opt/bin/pelinorw", "--version"};
  std::vector<char*> argv{storage[0].data(), storage[1].data(), nullptr};
  Capture out(std::cout);
  const int status =
      runProgram(2, argv.data(), nullptr, nullptr,
                 VersionInfo{pelinor::text::toCp932("株価分析ペリノ ﾁｬｰﾄ v3.02"), "abc1234-dirty"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.text(), "pelinorw (株価分析ペリノ ﾁｬｰﾄ) v3.02\nbuild abc1234-dirty\n");
}

}  // namespace
