// Both programs in their real SDL2 windows on a virtual X server: a key and a click are sent
// with xdotool, the window is captured with xwd, and its client area must equal, pixel for
// pixel, what the script host renders for the same events. The program then ends on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/menu_bar.h"
#include "resources/pelinorw_resources.h"
#include "resources/pelinorx_resources.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using e2e::Image;
using e2e::readPng;

std::string run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  pclose(pipe);
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

// Starts a program with this process's environment; `asanLeaks` false turns off the leak
// report of a sanitizer build for it (the X11 and D-Bus libraries that SDL loads keep memory
// to the end, which the leak checker would report; the same drawing code runs leak-checked
// in the script host).
pid_t spawn(const std::vector<std::string>& args, bool asanLeaks = true) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (!asanLeaks && std::string(*e).rfind("ASAN_OPTIONS=", 0) == 0) continue;
    env.emplace_back(*e);
  }
  if (!asanLeaks) {
    const char* options = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (options ? options : "") + ":detect_leaks=0");
  }
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  return pid;
}

std::uint32_t be32(const std::string& data, std::size_t offset) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data() + offset);
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

int shiftOf(std::uint32_t mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// A window dump of xwd: 32-bit ZPixmap with red, green and blue masks.
bool readXwd(const std::string& path, Image& image) {
  const std::string data = testsupport::readFile(path);
  if (data.size() < 100) return false;
  const std::uint32_t headerSize = be32(data, 0);
  const std::uint32_t format = be32(data, 8);
  const std::uint32_t width = be32(data, 16);
  const std::uint32_t height = be32(data, 20);
  const std::uint32_t byteOrder = be32(data, 28);
  const std::uint32_t bitsPerPixel = be32(data, 44);
  const std::uint32_t bytesPerLine = be32(data, 48);
  const std::uint32_t masks[3] = {be32(data, 56), be32(data, 60), be32(data, 64)};
  const std::uint32_t colours = be32(data, 76);
  if (format != 2 || bitsPerPixel != 32) return false;
  const std::size_t start = headerSize + colours * 12;
  if (data.size() < start + std::size_t{bytesPerLine} * height) return false;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.rgb.assign(std::size_t{width} * height * 3, 0);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto* p =
          reinterpret_cast<const unsigned char*>(data.data() + start + y * bytesPerLine + x * 4);
      const std::uint32_t pixel =
          byteOrder == 0 ? (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                            std::uint32_t{p[1]} << 8 | p[0])
                         : be32(std::string(reinterpret_cast<const char*>(p), 4), 0);
      for (int c = 0; c < 3; ++c) {
        image.rgb[(std::size_t{y} * width + x) * 3 + c] =
            static_cast<std::uint8_t>((pixel & masks[c]) >> shiftOf(masks[c]));
      }
    }
  }
  return true;
}

// Pixels of the window that differ from the expected client area placed at (0, top).
long differences(const Image& window, const Image& client, int top) {
  if (window.width < client.width || window.height < top + client.height) return -1;
  long count = 0;
  for (int y = 0; y < client.height; ++y) {
    for (int x = 0; x < client.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const auto w = window.rgb[((std::size_t(y) + top) * window.width + x) * 3 + c];
        const auto e = client.rgb[(std::size_t(y) * client.width + x) * 3 + c];
        if (w != e) {
          ++count;
          break;
        }
      }
    }
  }
  return count;
}

class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    pid_ = spawn({"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) {
      display_ = ":" + number;
      setenv("DISPLAY", display_.c_str(), 1);
    }
    // The programs remember their window places in a config folder of this run, not the user's.
    char config[] = "/tmp/pelinor-config-XXXXXX";
    if (mkdtemp(config)) {
      config_ = config;
      setenv("XDG_CONFIG_HOME", config, 1);
    }
  }
  ~VirtualDisplay() {
    if (!config_.empty()) {
      unsetenv("XDG_CONFIG_HOME");
      std::error_code ec;
      std::filesystem::remove_all(config_, ec);
    }
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ok() const { return !display_.empty(); }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string config_;
};

// One user event, as the script host takes it and as xdotool sends it to the real window.
struct Event {
  std::string script;  // script line(s)
  std::string xdo;     // xdotool arguments; WINDOW and TOP are replaced
};

Event key(const std::string& scriptName, const std::string& xdoName) {
  return {"key " + scriptName, "key --clearmodifiers " + xdoName};
}

Event click(int x, int y) {
  const std::string xy = std::to_string(x) + " " + std::to_string(y);
  return {"click " + xy, "mousemove --window WINDOW " + std::to_string(x) + " " +
                             std::to_string(y) + "+TOP click 1"};
}

// A double-click arrives as a button press followed by the double-click message. The two
// clicks are sent close together: the window counts them as one double-click only when the
// second is taken from the window system within the double-click time of the first, and on a
// busy machine a paint between them could otherwise use that time up.
Event dblclick(int x, int y) {
  const std::string xy = std::to_string(x) + " " + std::to_string(y);
  return {"click " + xy + "\ndblclick " + xy,
          "mousemove --window WINDOW " + std::to_string(x) + " " + std::to_string(y) +
              "+TOP click --repeat 2 --delay 5 1"};
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// xdotool takes no arithmetic: TOP is added to the y of "X Y+TOP".
std::string placeOnWindow(std::string args, const std::string& window, int top) {
  args = replaceAll(args, "WINDOW", window);
  const std::size_t plus = args.find("+TOP");
  if (plus != std::string::npos) {
    std::size_t begin = args.rfind(' ', plus) + 1;
    const int y = std::stoi(args.substr(begin, plus - begin));
    args.replace(begin, plus + 4 - begin, std::to_string(y + top));
  }
  return args;
}

struct Case {
  std::string program;
  const Menu* menu;
  std::vector<Event> events;
  std::vector<std::string> filesToCompare;  // data files both runs must leave byte-equal
};

const fs::path& programDir() {
  static const fs::path dir = testsupport::binaryDir() / "apps";
  return dir;
}

int runIn(const fs::path& dir, const std::string& command) {
  return std::system(("cd '" + dir.string() + "' && " + command + " > /dev/null").c_str());
}

// An empty database of the Tokyo kind.
void emptyDatabase(const fs::path& dir) {
  ASSERT_EQ(runIn(dir, (programDir() / "pelinorx").string() + " init W"), 0);
}

// The sample data stored and analysed: the state after a user's daily routine.
void sampleDatabase(const fs::path& dir) {
  const fs::path sample = testsupport::binaryDir() / "tools" / "pelinor-sample";
  ASSERT_EQ(runIn(dir, sample.string() + " --out daily --kind W --stocks 60 --days 90"), 0);
  emptyDatabase(dir);
  ASSERT_EQ(runIn(dir, (programDir() / "pelinorx").string() + " store daily/W*"), 0);
  ASSERT_EQ(runIn(dir, (programDir() / "pelinorx").string() + " analyze 261001"), 0);
}

void runCase(const Case& c, void (*setUp)(const fs::path&)) {
  testsupport::TempWorkDir dir;
  const fs::path base = dir.path() / "base";
  fs::create_directory(base);
  setUp(base);
  if (::testing::Test::HasFatalFailure()) return;
  const fs::path scripted = dir.path() / "scripted";
  const fs::path real = dir.path() / "real";
  fs::copy(base, scripted, fs::copy_options::recursive);
  fs::copy(base, real, fs::copy_options::recursive);
  const std::string program = (programDir() / c.program).string();

  // What the script host draws for the same events.
  std::string script;
  for (const Event& e : c.events) script += e.script + "\n";
  testsupport::writeFile(scripted / "events.txt", script + "snapshot expected.png\n");
  ASSERT_EQ(runIn(scripted, program + " --script events.txt --size 640x480"), 0);
  Image expected;
  ASSERT_TRUE(readPng((scripted / "expected.png").string(), expected));
  ASSERT_EQ(expected.width, 640);
  ASSERT_EQ(expected.height, 480);
  // The events must change what is drawn, or the comparison would not show that they arrived.
  testsupport::writeFile(scripted / "none.txt", "snapshot baseline.png\n");
  fs::path untouched = dir.path() / "untouched";
  fs::copy(base, untouched, fs::copy_options::recursive);
  testsupport::writeFile(untouched / "none.txt", "snapshot baseline.png\n");
  ASSERT_EQ(runIn(untouched, program + " --script none.txt --size 640x480"), 0);
  Image baseline;
  ASSERT_TRUE(readPng((untouched / "baseline.png").string(), baseline));
  ASSERT_NE(baseline.rgb, expected.rgb) << "the events draw nothing new";

  // The same events in the real window.
  const std::string previous = fs::current_path().string();
  fs::current_path(real);
  const pid_t pid = spawn({program, "--size", "640x480"}, false);
  fs::current_path(previous);
  ASSERT_GT(pid, 0);
  const std::string window = run("timeout 20 xdotool search --sync --onlyvisible --name 'v3.02'");
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  const int top = menuBarHeight(*c.menu, 640);
  run("xdotool windowfocus --sync " + window);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (const Event& e : c.events) {
    run("xdotool " + placeOnWindow(e.xdo, window, top));
    // Each event is painted before the next arrives, as a user's pace gives.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
  }

  long diff = -2;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < deadline) {
    run("xwd -silent -id " + window + " -out '" + (real / "window.xwd").string() + "'");
    Image captured;
    if (readXwd((real / "window.xwd").string(), captured)) {
      diff = differences(captured, expected, top);
      if (diff == 0) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  EXPECT_EQ(diff, 0) << "pixels of the client area that differ from the script host's";

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const std::string& name : c.filesToCompare) {
    EXPECT_EQ(testsupport::readFile(real / name), testsupport::readFile(scripted / name))
        << name << " differs between the real window and the script host";
  }
}

class RealWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { display_ = new VirtualDisplay(); }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }
  static VirtualDisplay* display_;
};
VirtualDisplay* RealWindow::display_ = nullptr;

TEST_F(RealWindow, DatabaseProgramMatchesScriptHost) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  // F1 opens the store prompt; the click repaints it.
  runCase({"pelinorx", &pelinorxResources().menus.at(100), {key("F1", "F1"), click(300, 200)}, {}},
          emptyDatabase);
}

TEST_F(RealWindow, ViewerMatchesScriptHost) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  // ↓ moves the stock menu to the next category; the click on the header picks category 15.
  runCase({"pelinorw", &pelinorwResources().menus.at(100), {key("DOWN", "Down"), click(145, 5)},
           {}},
          emptyDatabase);
}

TEST_F(RealWindow, RankingSortedPagedAndStoredForTheViewer) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  // 分析表示１部, sort by sｻｲﾝ, one row down, a click (redraws without moving), 分析ﾌｧｲﾙ出力.
  runCase({"pelinorx",
           &pelinorxResources().menus.at(100),
           {key("F3", "F3"), key("6", "6"), key("DOWN", "Down"), click(320, 300),
            key("F11", "F11"), key("RIGHT", "Right")},
           {"ranking.dat", "pelinoru.win"}},
          sampleDatabase);
}

TEST_F(RealWindow, ViewerChoosesAStockRegistersItAndPagesTheTable) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  // The first stock of the menu, 注目登録 by a double-click in the top row, then the price
  // table one page back and the chart-link page typed on the keypad.
  runCase({"pelinorw",
           &pelinorwResources().menus.at(100),
           {click(20, 24), dblclick(530, 6), key("LEFT", "Left"), key("LEFT", "Left"),
            key("F9", "F9"), key("3", "3"), key("0", "0"), key("RETURN", "Return")},
           {"pelinoru.win"}},
          sampleDatabase);
}

TEST_F(RealWindow, SettingsEditedAndSaved) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  // 既定値変更: item 5 to 3, item 27 to 80, then 99T99E writes both files.
  std::vector<Event> events = {key("F5", "F5")};
  for (const char* entry : {"5T3", "27T80", "99T99"}) {
    for (const char* c = entry; *c; ++c) {
      const std::string k(1, *c);
      events.push_back(key(k, *c == 'T' ? "t" : k));
    }
    events.push_back(key("RETURN", "Return"));
  }
  runCase({"pelinorx", &pelinorxResources().menus.at(100), events,
           {"pelinoru.sys", "pelinoru.win"}},
          sampleDatabase);
}

TEST_F(RealWindow, StoreSetBackToAnEarlierDay) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  // 格納やり直し to 2026-10-01, a trading day of the sample calendar.
  std::vector<Event> events = {key("F6", "F6")};
  for (char c : std::string("261001")) events.push_back(key(std::string(1, c), std::string(1, c)));
  events.push_back(key("RETURN", "Return"));
  runCase({"pelinorx", &pelinorxResources().menus.at(100), events, {"pelinoru.sys"}},
          sampleDatabase);
}

// The script host's client area after the script, as an image.
Image scripted(const fs::path& dir, const std::string& program, const std::string& script) {
  Image image;
  testsupport::writeFile(dir / "events.txt", script + "snapshot shot.png\n");
  EXPECT_EQ(runIn(dir, program + " --script events.txt --size 640x480"), 0);
  EXPECT_TRUE(readPng((dir / "shot.png").string(), image));
  return image;
}

// The window of a started program, or "" when none appears. The search is repeated: a window
// of an earlier test that is still going away can make one search end without a result.
std::string windowOf(pid_t pid) {
  std::string window;
  for (int attempt = 0; attempt < 10 && window.empty(); ++attempt)
    window = run("timeout 10 xdotool search --sync --onlyvisible --pid " + std::to_string(pid) +
                 " --name 'v3.02' 2>/dev/null");
  return window;
}

// Differing pixels between the window's client area and the image, once the window shows it
// (or -1 when no capture could be read before the deadline).
long waitForClient(const std::string& window, const fs::path& dir, const Image& expected,
                   int top) {
  long diff = -1;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    run("xwd -silent -id " + window + " -out '" + (dir / "window.xwd").string() + "'");
    Image captured;
    if (readXwd((dir / "window.xwd").string(), captured)) {
      diff = differences(captured, expected, top);
      if (diff == 0) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  return diff;
}

TEST_F(RealWindow, UncoveringShowsTheLastFrameWithoutRepeatingTheKey) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  testsupport::TempWorkDir dir;
  emptyDatabase(dir.path());
  const std::string program = (programDir() / "pelinorw").string();
  // Part of a code typed on the stock menu is echoed; a repaint that no key caused would
  // apply the last digit again, so the uncovered window must not be painted anew.
  const Image typed = scripted(dir.path(), program, "key 1\nkey 3\n");
  const Image repainted = scripted(dir.path(), program, "key 1\nkey 3\npaint\n");
  ASSERT_EQ(typed.width, 640);
  ASSERT_NE(typed.rgb, repainted.rgb) << "a repaint would not show whether the window painted";

  const pid_t pid = spawn({program, "--size", "640x480"}, false);
  ASSERT_GT(pid, 0);
  const std::string window = windowOf(pid);
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  const int top = menuBarHeight(pelinorwResources().menus.at(100), 640);
  run("xdotool windowfocus --sync " + window);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (const char* digit : {"1", "3"}) {
    run(std::string("xdotool key --clearmodifiers ") + digit);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
  }
  EXPECT_EQ(waitForClient(window, dir.path(), typed, top), 0) << "the typed code";

  // Hidden and shown again: the window system asks for the uncovered area to be drawn.
  run("xdotool windowunmap --sync " + window);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run("xdotool windowmap --sync " + window);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_EQ(waitForClient(window, dir.path(), typed, top), 0) << "after the window was uncovered";

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace

namespace {

// The viewer's window through each way frames reach it: after its first paint, after typed
// keys (only what changed is handed over), after a resize (the window's pixels are made anew),
// after a key at the new size, and after it is uncovered, the window shows exactly what the
// script host paints for the same events.
class RealWindowPaths : public RealWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(RealWindowPaths, WindowShowsThePaintedFrame) {
  ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
  const bool renderer = GetParam();
  testsupport::TempWorkDir dir;
  const fs::path base = dir.path() / "window";
  fs::create_directory(base);
  emptyDatabase(base);
  const std::string program = (programDir() / "pelinorw").string();
  const Menu& menu = pelinorwResources().menus.at(100);

  // Each step: keys typed in the window (xdotool names), or a new client size; then the
  // script host's frame for every step so far.
  struct Step {
    std::string what;
    std::vector<std::string> keys;
    int width = 0;  // a resize to width x height when nonzero
    int height = 0;
    bool uncover = false;
  };
  const std::vector<Step> steps = {
      {"the first paint", {}, 0, 0, false},
      {"typed keys", {"1", "3"}, 0, 0, false},
      {"a resize", {}, 800, 560, false},
      {"a key at the new size", {"5"}, 0, 0, false},
      {"uncovering", {}, 0, 0, true},
  };

  if (renderer) setenv("PELINOR_WINDOW_RENDERER", "1", 1);
  const fs::path previous = fs::current_path();
  fs::current_path(base);
  const pid_t pid = spawn({program, "--size", "640x480"}, false);
  fs::current_path(previous);
  unsetenv("PELINOR_WINDOW_RENDERER");
  ASSERT_GT(pid, 0);
  const std::string window = windowOf(pid);
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  run("xdotool windowfocus --sync " + window);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  std::string script;
  int width = 640;
  int height = 480;
  int n = 0;
  for (const Step& step : steps) {
    for (const std::string& k : step.keys) {
      run("xdotool key --clearmodifiers " + k);
      script += "key " + k + "\n";
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    if (step.width) {
      width = step.width;
      height = step.height;
      run("xdotool windowsize --sync " + window + " " + std::to_string(width) + " " +
          std::to_string(height + menuBarHeight(menu, width)));
      script += "size " + std::to_string(width) + " " + std::to_string(height) + "\n";
    }
    if (step.uncover) {
      run("xdotool windowunmap --sync " + window);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      run("xdotool windowmap --sync " + window);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const fs::path shots = dir.path() / ("step" + std::to_string(n++));
    fs::create_directory(shots);
    for (const auto& entry : fs::directory_iterator(base))
      if (entry.is_regular_file()) fs::copy_file(entry.path(), shots / entry.path().filename());
    Image expected;
    testsupport::writeFile(shots / "events.txt", script + "snapshot shot.png\n");
    ASSERT_EQ(runIn(shots, program + " --script events.txt --size 640x480"), 0);
    ASSERT_TRUE(readPng((shots / "shot.png").string(), expected));
    ASSERT_EQ(expected.width, width);
    ASSERT_EQ(expected.height, height);
    EXPECT_EQ(waitForClient(window, shots, expected, menuBarHeight(menu, width)), 0)
        << "after " << step.what << (renderer ? " through the renderer" : "");
  }

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, RealWindowPaths, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Renderer" : "WindowSurface"; });

}  // namespace
