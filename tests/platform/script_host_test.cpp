// The headless driver and the script host, driven with a small window whose drawing shows its
// state and whose handlers invalidate only for some events.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/host/headless_driver.h"
#include "platform/host/script_host.h"
#include "platform/text/cp932.h"
#include "tests/support/test_support.h"

namespace {

// What the probe window saw; outlives the window, which a close request destroys.
struct ProbeLog {
  int setups = 0;
  int cleanups = 0;
  int paints = 0;
  bool lastErase = false;
  TRect lastRect{};
  std::vector<unsigned> keys;
  std::vector<TPoint> clicks;
  std::vector<TPoint> dblclicks;
  std::vector<TSize> sizes;
  std::vector<int> commands;
  std::vector<std::string> pointer;  // pointer events and keys with modifiers, as text
};

constexpr COLORREF ProbeBackground = RGB(0, 0, 128);

enum : int {
  CmdCount = 1,        // counts and invalidates
  CmdMessage = 2,      // message box, no repaint
  CmdClose = 3,        // message box, then close request from the handler
  CmdNothing = 4,      // handled, no repaint
  CmdCloseInPaint = 5, // the next paint shows a message box and asks to close
  CmdChain = 6,        // the next two paints invalidate again
  CmdRunaway = 7,      // every paint from now on invalidates again
  CmdWriteFailed = 8,  // a file of the window's work could not be written: message, close
};

class ProbeWindow : public TWindow {
 public:
  explicit ProbeWindow(ProbeLog& log, bool invalidateOnSize = true)
      : log_(log), invalidateOnSize_(invalidateOnSize) {}

  void SetupWindow() override {
    ++log_.setups;
    SetBkgndColor(ProbeBackground);
  }
  void CleanupWindow() override { ++log_.cleanups; }

  void Paint(TDC& dc, bool erase, TRect& rect) override {
    ++log_.paints;
    log_.lastErase = erase;
    log_.lastRect = rect;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 0));
    std::string status = "paint " + std::to_string(log_.paints) + " keys " +
                         std::to_string(log_.keys.size());
    dc.TextOut(0, 20, status);
    if (!log_.clicks.empty()) {
      const TPoint& p = log_.clicks.back();
      dc.FillRect(TRect{p.x, p.y, p.x + 4, p.y + 4}, TBrush(RGB(255, 0, 0)));
    }
    if (chain_ > 0) {
      --chain_;
      Invalidate();
    }
    if (runaway_) Invalidate();
    if (closeInPaint_) {
      MessageBox(SJ("ranking.dat が存在しません"), SJ("ﾌｧｲﾙ存在状況"));
      CloseWindow(7);
    }
  }

  void EvKeyDown(unsigned key, unsigned, unsigned flags) override {
    log_.keys.push_back(key);
    if (flags) log_.pointer.push_back("key " + std::to_string(key) + " " + std::to_string(flags));
    if (key == VK_F10) return;  // ignored, as a window ignores unknown keys
    if (key == VK_F11) {
      // Forgets the clicks and repaints without erasing: the old marker stays on screen.
      log_.clicks.clear();
      Invalidate(false);
      return;
    }
    Invalidate();
  }
  void EvLButtonDown(unsigned mods, const TPoint& p) override {
    log_.clicks.push_back(p);
    if (mods & MK_LBUTTON) log_.pointer.push_back(event("down", p, 0));
    Invalidate();
  }
  void EvMouseMove(unsigned mods, const TPoint& p) override {
    log_.pointer.push_back(event("move", p, mods));
  }
  void EvMouseWheel(unsigned mods, int notches, const TPoint& p) override {
    log_.pointer.push_back(event("wheel " + std::to_string(notches), p, mods));
  }
  void EvLButtonUp(unsigned mods, const TPoint& p) override {
    log_.pointer.push_back(event("up", p, mods));
  }
  void EvMouseLeave() override { log_.pointer.push_back("leave"); }
  void EvLButtonDblClk(unsigned, const TPoint& p) override {
    log_.dblclicks.push_back(p);
    Invalidate();
  }
  void EvSize(unsigned, const TSize& size) override {
    log_.sizes.push_back(size);
    if (invalidateOnSize_) Invalidate();
  }
  bool EvCommand(int id) override {
    log_.commands.push_back(id);
    switch (id) {
      case CmdCount:
        Invalidate();
        return true;
      case CmdMessage:
        MessageBox("Text \"quoted\"", "Caption");
        return true;
      case CmdClose:
        MessageBox("bye", "Closing");
        CloseWindow(3);
        Invalidate();  // a closed window is not painted again
        return true;
      case CmdNothing:
        return true;
      case CmdCloseInPaint:
        closeInPaint_ = true;
        Invalidate();
        return true;
      case CmdChain:
        chain_ = 2;
        Invalidate();
        return true;
      case CmdRunaway:
        runaway_ = true;
        Invalidate();
        return true;
      case CmdWriteFailed:
        ReportWriteFailure();
        MessageBox("out.txt", "Unwritable");
        CloseWindow(0);
        return true;
    }
    return false;
  }

 private:
  static std::string event(const std::string& what, const TPoint& p, unsigned mods) {
    return what + " " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(mods);
  }
  ProbeLog& log_;
  bool invalidateOnSize_;
  bool closeInPaint_ = false;
  int chain_ = 0;
  bool runaway_ = false;
};

const ResourceSet& probeResources() {
  static const ResourceSet set = [] {
    ResourceSet s;
    s.menus[100].items = {{CmdCount, "Count"},     {CmdMessage, "Message"},
                          {CmdClose, "Close"},     {CmdNothing, "Nothing"},
                          {CmdCloseInPaint, "Bad"}, {CmdChain, "Chain"},
                          {CmdRunaway, "Runaway"}, {CmdWriteFailed, "Fail"}};
    return s;
  }();
  return set;
}

std::unique_ptr<SDIDecFrame> probeFrame(ProbeLog& log, bool invalidateOnSize = true) {
  auto frame = std::make_unique<SDIDecFrame>("Probe", std::make_unique<ProbeWindow>(log, invalidateOnSize),
                                             probeResources());
  frame->AssignMenu(100);
  return frame;
}

struct ScriptRun {
  int status = 0;
  std::string out;
  std::string err;
};

ScriptRun runScript(ProbeLog& log, const std::string& script, TSize size = {640, 480},
                    bool invalidateOnSize = true) {
  auto frame = probeFrame(log, invalidateOnSize);
  std::istringstream in(script);
  std::ostringstream out;
  std::ostringstream err;
  ScriptHost host(in, "script.txt", size, out, err);
  ScriptRun run;
  run.status = host.run(*frame);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// Width and height from the IHDR chunk of a PNG file, or {-1, -1} when it is not a PNG.
TSize pngSize(const std::string& bytes) {
  static const std::string signature("\x89PNG\r\n\x1a\n", 8);
  if (bytes.size() < 24 || bytes.compare(0, 8, signature) != 0 ||
      bytes.compare(12, 4, "IHDR") != 0)
    return {-1, -1};
  auto be32 = [&bytes](std::size_t at) {
    return static_cast<int>((static_cast<unsigned char>(bytes[at]) << 24) |
                            (static_cast<unsigned char>(bytes[at + 1]) << 16) |
                            (static_cast<unsigned char>(bytes[at + 2]) << 8) |
                            static_cast<unsigned char>(bytes[at + 3]));
  };
  return {be32(16), be32(20)};
}

// ---------------------------------------------------------------------------------------------
// The driver

TEST(HeadlessDriver, PaintsOnceWhenStartedThenOnlyAfterInvalidatingEvents) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {320, 200}, out);
  driver.start();
  EXPECT_EQ(log.setups, 1);
  EXPECT_EQ(log.paints, 1);
  EXPECT_TRUE(log.lastErase);
  EXPECT_EQ(log.lastRect.right, 320);
  EXPECT_EQ(log.lastRect.bottom, 200);

  driver.key(VK_F10);  // handled without invalidating
  EXPECT_EQ(log.paints, 1);
  EXPECT_TRUE(driver.menu(CmdNothing));
  EXPECT_EQ(log.paints, 1);
  driver.key('A');
  EXPECT_EQ(log.paints, 2);
  driver.click(5, 6);
  driver.dblclick(7, 8);
  EXPECT_EQ(log.paints, 4);
  EXPECT_EQ(driver.paintCount(), 4);
  ASSERT_EQ(log.clicks.size(), 1u);
  EXPECT_EQ(log.clicks[0].x, 5);
  EXPECT_EQ(log.clicks[0].y, 6);
  ASSERT_EQ(log.dblclicks.size(), 1u);
  EXPECT_EQ(log.dblclicks[0].x, 7);
  driver.paint();
  EXPECT_EQ(log.paints, 5);
}

TEST(HeadlessDriver, WindowServicesGoThroughTheDriver) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {300, 150}, out);
  TWindow* w = frame->GetClientWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->host(), &driver);
  TRect r = w->GetClientRect();
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 150);
  w->SetCursor(Cursor::Wait);
  EXPECT_EQ(driver.cursor(), Cursor::Wait);
  w->SetCursor(Cursor::Arrow);
  EXPECT_EQ(driver.cursor(), Cursor::Arrow);
  EXPECT_EQ(w->MessageBox(SJ("メモリが確保できません"), SJ("空きメモリ状況")), IDOK);
  EXPECT_EQ(out.str(), "[空きメモリ状況] メモリが確保できません\n");
  ASSERT_EQ(driver.messageBoxes().size(), 1u);
  EXPECT_EQ(driver.messageBoxes()[0], "[空きメモリ状況] メモリが確保できません");
}

TEST(HeadlessDriver, MessageBoxWithLineBreaksStaysOneLine) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {100, 100}, out);
  frame->GetClientWindow()->MessageBox("first\nsecond", "Two");
  EXPECT_EQ(out.str(), "[Two] first second\n");
}

TEST(HeadlessDriver, CloseRequestDestroysTheClientAfterTheEventAndIgnoresLaterEvents) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {100, 100}, out);
  driver.start();
  EXPECT_TRUE(driver.menu(CmdClose));
  EXPECT_TRUE(driver.closed());
  EXPECT_EQ(driver.closeResult(), 3);
  EXPECT_EQ(frame->GetClientWindow(), nullptr);
  EXPECT_EQ(log.cleanups, 1);
  EXPECT_EQ(log.paints, 1);  // the invalidation made with the close request is not painted
  driver.key('A');
  driver.click(1, 1);
  driver.size(50, 50);
  driver.paint();
  EXPECT_TRUE(log.keys.empty());
  EXPECT_TRUE(log.clicks.empty());
  EXPECT_TRUE(log.sizes.empty());
  EXPECT_EQ(log.paints, 1);
  EXPECT_EQ(out.str(), "[Closing] bye\n");
}

TEST(HeadlessDriver, CloseRequestDuringAPaintEndsThatPaintThenDestroys) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {100, 100}, out);
  driver.start();
  driver.menu(CmdCloseInPaint);
  EXPECT_EQ(log.paints, 2);
  EXPECT_TRUE(driver.closed());
  EXPECT_EQ(driver.closeResult(), 7);
  EXPECT_EQ(log.cleanups, 1);
  EXPECT_EQ(frame->GetClientWindow(), nullptr);
  EXPECT_EQ(out.str(), "[ﾌｧｲﾙ存在状況] ranking.dat が存在しません\n");
}

TEST(HeadlessDriver, SizeResizesAndRepaintsOnlyWhenTheWindowAsks) {
  for (bool invalidates : {true, false}) {
    SCOPED_TRACE(invalidates);
    ProbeLog log;
    auto frame = probeFrame(log, invalidates);
    std::ostringstream out;
    HeadlessDriver driver(*frame, {640, 480}, out);
    driver.start();
    driver.size(200, 100);
    ASSERT_EQ(log.sizes.size(), 1u);
    EXPECT_EQ(log.sizes[0].cx, 200);
    EXPECT_EQ(log.sizes[0].cy, 100);
    EXPECT_EQ(driver.clientSize().cx, 200);
    EXPECT_EQ(driver.raster().width(), 200);
    EXPECT_EQ(driver.raster().height(), 100);
    EXPECT_EQ(log.paints, invalidates ? 2 : 1);
    if (invalidates) {
      EXPECT_EQ(log.lastRect.right, 200);
    }
  }
}

TEST(HeadlessDriver, ErasingPaintFillsTheRasterWithTheBackgroundColour) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {64, 48}, out);
  driver.start();
  // The probe draws nothing in the bottom right corner.
  EXPECT_EQ(driver.raster().pixelAt(63, 47), ProbeBackground);
  driver.click(10, 30);
  EXPECT_EQ(driver.raster().pixelAt(11, 31), RGB(255, 0, 0));
  EXPECT_EQ(driver.raster().pixelAt(63, 47), ProbeBackground);
  driver.key(VK_F11);
  EXPECT_FALSE(log.lastErase);
  EXPECT_EQ(driver.raster().pixelAt(11, 31), RGB(255, 0, 0));
  EXPECT_EQ(driver.dump().find("fill"), std::string::npos);  // not drawn by this paint
  driver.key('A');
  EXPECT_TRUE(log.lastErase);
  EXPECT_EQ(driver.raster().pixelAt(11, 31), ProbeBackground);
}

TEST(HeadlessDriver, RecordingHoldsOnlyTheLastPaint) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {64, 48}, out);
  driver.start();
  EXPECT_EQ(driver.dump(), "text 0 20 FFFF00 \"paint 1 keys 0\"\n");
  driver.click(10, 30);
  driver.key('1');
  EXPECT_EQ(driver.dump(),
            "text 0 20 FFFF00 \"paint 3 keys 1\"\n"
            "fill 10 30 14 34 FF0000\n");
}

// ---------------------------------------------------------------------------------------------
// The script host

TEST(ScriptHost, PaintsBeforeTheFirstEventAndRunsEveryCommand) {
  testsupport::TempWorkDir dir;
  ProbeLog log;
  ScriptRun run = runScript(log,
                            "# a comment\n"
                            "\n"
                            "   menu 1   \r\n"
                            "key F1\n"
                            "keys 12ab\n"
                            "click 3 4\n"
                            "dblclick 5 6\n"
                            "size 320 200\n"
                            "paint\n"
                            "menu 2\n"
                            "snapshot shot.png\n"
                            "dump last.txt\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(log.setups, 1);
  EXPECT_EQ(log.commands, (std::vector<int>{CmdCount, CmdMessage}));
  EXPECT_EQ(log.keys, (std::vector<unsigned>{VK_F1, '1', '2', 'A', 'B'}));
  ASSERT_EQ(log.clicks.size(), 1u);
  EXPECT_EQ(log.clicks[0].x, 3);
  EXPECT_EQ(log.clicks[0].y, 4);
  ASSERT_EQ(log.dblclicks.size(), 1u);
  EXPECT_EQ(log.dblclicks[0].y, 6);
  ASSERT_EQ(log.sizes.size(), 1u);
  EXPECT_EQ(log.sizes[0].cx, 320);
  // first paint + menu 1 + 5 keys + click + dblclick + size + paint; menu 2 does not repaint
  EXPECT_EQ(log.paints, 11);
  EXPECT_EQ(run.out, "[Caption] Text \"quoted\"\n");
  TSize png = pngSize(testsupport::readFile("shot.png"));
  EXPECT_EQ(png.cx, 320);
  EXPECT_EQ(png.cy, 200);
  EXPECT_EQ(testsupport::readFile("last.txt"),
            "text 0 20 FFFF00 \"paint 11 keys 5\"\n"
            "fill 3 4 7 8 FF0000\n");
}

TEST(ScriptHost, KeyNamesGiveTheirVirtualKeys) {
  ProbeLog log;
  ScriptRun run = runScript(log,
                            "key F1\nkey F9\nkey F12\nkey UP\nkey DOWN\nkey LEFT\nkey RIGHT\n"
                            "key BACK\nkey SPACE\nkey RETURN\nkey HOME\nkey INSERT\n"
                            "key DELETE\nkey 0\nkey 9\nkey NUMPAD0\nkey NUMPAD7\nkey A\nkey Z\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(log.keys, (std::vector<unsigned>{0x70, 0x78, 0x7B, 0x26, 0x28, 0x25, 0x27, 0x08,
                                             0x20, 0x0D, 0x24, 0x2D, 0x2E, 0x30, 0x39, 0x60,
                                             0x67, 0x41, 0x5A}));
}

TEST(ScriptHost, PointerEventsAndModifiersReachTheWindowAsAUserMakesThem) {
  ProbeLog log;
  ScriptRun run = runScript(log,
                            "move 10 20\nwheel -3\ndrag 1 2 30 40\nleave\nkey SHIFT+LEFT\n"
                            "key ?\nkey END\nkey ctrl+shift+a\nkey CTRL+Q\nmenu 1\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(log.pointer, (std::vector<std::string>{
                             "move 10 20 0", "wheel -3 10 20 0", "move 1 2 0", "down 1 2 0",
                             "move 30 40 1", "up 30 40 0", "leave", "key 37 4", "key 65 12"}));
  // '?' and End arrive as keys; Ctrl+Q closes the window before the menu command.
  EXPECT_EQ(log.keys, (std::vector<unsigned>{0x25, 0x2F, 0x23, 0x41}));
  EXPECT_TRUE(log.commands.empty());
  EXPECT_EQ(log.cleanups, 1);
}

TEST(ScriptHost, BadLinesStopTheRunWithStatus2AndTheirLineNumber) {
  struct Case {
    std::string line;
    std::string message;  // a part of the expected message
  };
  const Case cases[] = {
      {"bogus 1", "unknown command 'bogus'"},
      {"Menu 1", "unknown command 'Menu'"},
      {"menu", "missing argument"},
      {"menu 1 2", "too many arguments"},
      {"menu x", "malformed menu id 'x'"},
      {"menu 99", "menu id 99 is not on the menu bar"},
      {"key F13", "unknown key name 'F13'"},
      {"key F0", "unknown key name 'F0'"},
      {"key NUMPAD10", "unknown key name 'NUMPAD10'"},
      {"key ESC", "unknown key name 'ESC'"},
      {"key", "missing argument"},
      {"keys 12-3", "'-' is not a digit or letter"},
      {"keys", "missing argument"},
      {"click 1", "missing argument"},
      {"click 1 2 3", "too many arguments"},
      {"click -1 2", "malformed x coordinate '-1'"},
      {"click 1 2.5", "malformed y coordinate '2.5'"},
      {"click 640 10", "outside the client area 640x480"},
      {"dblclick 10 480", "outside the client area"},
      {"size 0 100", "malformed width '0'"},
      {"size -10 100", "malformed width '-10'"},
      {"size 100 8193", "malformed height '8193'"},
      {"size 10x 100", "malformed width"},
      {"size 99999999999999999999 1", "malformed width"},
      {"size 100", "missing argument"},
      {"paint now", "too many arguments"},
      {"snapshot", "missing argument"},
      {"dump", "missing argument"},
      {"move 1", "missing argument"},
      {"move 640 0", "outside the client area 640x480"},
      {"drag 1 2 3 480", "outside the client area"},
      {"wheel x", "malformed wheel notches 'x'"},
      {"wheel 1001", "malformed wheel notches"},
      {"leave now", "too many arguments"},
      {"key SHIFT+", "unknown key name 'SHIFT+'"},
      {"key SHIFT+ESC", "unknown key name 'SHIFT+ESC'"},
  };
  testsupport::TempWorkDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ProbeLog log;
    ScriptRun run = runScript(log, "menu 1\n# note\n" + c.line + "\nmenu 1\nkey A\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("script.txt:3: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    // Nothing after the bad line ran, and the bad line itself did nothing.
    EXPECT_EQ(log.commands, std::vector<int>{CmdCount});
    EXPECT_TRUE(log.keys.empty());
    EXPECT_EQ(log.paints, 2);
  }
}

TEST(ScriptHost, CloseRequestEndsTheRunWithStatus0AfterTheCurrentEvent) {
  ProbeLog log;
  ScriptRun run = runScript(log, "menu 2\nmenu 3\nmenu 1\nbogus\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "[Caption] Text \"quoted\"\n[Closing] bye\n");
  EXPECT_EQ(log.commands, (std::vector<int>{CmdMessage, CmdClose}));
  EXPECT_EQ(log.cleanups, 1);
}

TEST(ScriptHost, CloseDuringTheFirstPaintEndsTheRunBeforeAnyEvent) {
  // A window that asks to close while it is first painted (a missing file at start-up).
  class ClosingWindow : public TWindow {
   public:
    explicit ClosingWindow(int& events) : events_(events) {}
    void Paint(TDC&, bool, TRect&) override {
      MessageBox(SJ("pelinoru.sys が存在しません"), SJ("ﾌｧｲﾙ存在状況"));
      CloseWindow(0);
    }
    bool EvCommand(int) override {
      ++events_;
      return true;
    }

   private:
    int& events_;
  };
  int events = 0;
  ResourceSet resources;
  resources.menus[100].items = {{1, "One"}};
  SDIDecFrame frame("x", std::make_unique<ClosingWindow>(events), resources);
  frame.AssignMenu(100);
  std::istringstream in("menu 1\nbogus\n");
  std::ostringstream out;
  std::ostringstream err;
  ScriptHost host(in, "s", {640, 480}, out, err);
  EXPECT_EQ(host.run(frame), 0);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(out.str(), "[ﾌｧｲﾙ存在状況] pelinoru.sys が存在しません\n");
}

TEST(ScriptHost, KeysStopWhenTheWindowClosesPartWay) {
  class CloseOnKey : public TWindow {
   public:
    explicit CloseOnKey(std::vector<unsigned>& keys) : keys_(keys) {}
    void EvKeyDown(unsigned key, unsigned, unsigned) override {
      keys_.push_back(key);
      if (key == 'X') CloseWindow(0);
    }

   private:
    std::vector<unsigned>& keys_;
  };
  std::vector<unsigned> keys;
  ResourceSet resources;
  SDIDecFrame frame("x", std::make_unique<CloseOnKey>(keys), resources);
  std::istringstream in("keys abxcd\n");
  std::ostringstream out;
  std::ostringstream err;
  ScriptHost host(in, "s", {640, 480}, out, err);
  EXPECT_EQ(host.run(frame), 0);
  EXPECT_EQ(keys, (std::vector<unsigned>{'A', 'B', 'X'}));
}

TEST(ScriptHost, SizeChangesTheSnapshotEvenWithoutARepaint) {
  testsupport::TempWorkDir dir;
  ProbeLog log;
  ScriptRun run = runScript(log, "snapshot a.png\nsize 33 17\nsnapshot b.png\n", {640, 480},
                            /*invalidateOnSize=*/false);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(log.paints, 1);
  TSize a = pngSize(testsupport::readFile("a.png"));
  TSize b = pngSize(testsupport::readFile("b.png"));
  EXPECT_EQ(a.cx, 640);
  EXPECT_EQ(a.cy, 480);
  EXPECT_EQ(b.cx, 33);
  EXPECT_EQ(b.cy, 17);
}

// A snapshot or dump that cannot be written ends the run with status 1; the path given keeps
// what it held (a file the program did not make is never removed) and no temporary file stays.
TEST(ScriptHost, AFailedSnapshotOrDumpKeepsTheFileGivenAndEndsWithStatus1) {
  struct Case {
    std::string line;
    std::string path;
    bool existing;  // the path holds a file before the run
    bool diskFull;  // files may not grow beyond 24 bytes during the run
  };
  const Case cases[] = {
      {"snapshot no-such-folder/out.png", "no-such-folder/out.png", false, false},
      {"dump no-such-folder/out.txt", "no-such-folder/out.txt", false, false},
      {"snapshot keep.png", "keep.png", true, true},
      {"dump keep.txt", "keep.txt", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    testsupport::TempWorkDir dir;
    if (c.existing) testsupport::writeFile(c.path, "the user's own file");
    ProbeLog log;
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    if (c.diskFull) {
      struct rlimit small = saved;
      small.rlim_cur = 24;
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    ScriptRun run = runScript(log, "menu 1\n" + c.line + "\nmenu 1\n");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("script.txt:2: cannot write '" + c.path + "'", 0), 0u) << run.err;
    EXPECT_EQ(log.commands, std::vector<int>{CmdCount});
    if (c.existing)
      EXPECT_EQ(testsupport::readFile(c.path), "the user's own file");
    else
      EXPECT_FALSE(std::filesystem::exists(c.path));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      left.push_back(e.path().filename().string());
    EXPECT_EQ(left, c.existing ? std::vector<std::string>{c.path} : std::vector<std::string>{});
  }
}

TEST(ScriptHost, ASnapshotReplacesAnEarlierOneWhole) {
  testsupport::TempWorkDir dir;
  testsupport::writeFile("shot.png", std::string(100000, 'x'));
  ProbeLog log;
  ScriptRun run = runScript(log, "size 20 10\nsnapshot shot.png\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string png = testsupport::readFile("shot.png");
  EXPECT_EQ(pngSize(png).cx, 20);
  EXPECT_LT(png.size(), 100000u);
}

TEST(ScriptHost, AWindowsFailedWriteEndsTheRunWithStatus1) {
  ProbeLog log;
  ScriptRun run = runScript(log, "menu 1\nmenu 8\nmenu 1\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "[Unwritable] out.txt\n");
  EXPECT_EQ(log.commands, (std::vector<int>{CmdCount, CmdWriteFailed}));
}

}  // namespace

TEST(HeadlessDriver, PaintsAgainWhenAPaintLeftTheWindowInvalid) {
  ProbeLog log;
  auto frame = probeFrame(log);
  std::ostringstream out;
  HeadlessDriver driver(*frame, {640, 480}, out);
  driver.start();
  ASSERT_EQ(log.paints, 1);
  ASSERT_TRUE(driver.menu(CmdChain));
  // The command's paint and the two its paints asked for.
  EXPECT_EQ(log.paints, 4);
  EXPECT_NE(driver.dump().find("paint 4"), std::string::npos);
  driver.paint();
  EXPECT_EQ(log.paints, 5);

  // A window that invalidates itself in every paint does not hang the driver.
  ASSERT_TRUE(driver.menu(CmdRunaway));
  const int afterRunaway = log.paints;
  EXPECT_GT(afterRunaway, 6);
  EXPECT_LE(afterRunaway, 5 + 16);
  driver.key('A');
  EXPECT_LE(log.paints, afterRunaway + 16);
}
