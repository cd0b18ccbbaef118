// The window layer: TWindow (a client window with its message handlers), SDIDecFrame (the
// decorated frame with caption, icon and menu bar) and TApplication. A window class never
// knows which host runs it: the host implements WindowHost and delivers the messages.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/tdc.h"
#include "platform/window/resources.h"
#include "platform/window/vk.h"

enum : unsigned { MB_OK = 0 };
enum : int { IDOK = 1 };
enum : unsigned { SIZE_RESTORED = 0 };

enum class Cursor { Arrow, Wait };

class TWindow;

// Implemented by each host.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual void invalidate(bool erase) = 0;
  virtual TSize clientSize() const = 0;
  virtual void closeRequest(TWindow& window, int result) = 0;
  virtual int messageBox(std::string_view textCp932, std::string_view captionCp932,
                         unsigned type) = 0;
  virtual void setCursor(Cursor cursor) = 0;
  // A window could not write one of its files (already told to the user by a message box).
  virtual void writeFailed() {}
  // Only what PaintOverlay draws changed: the host puts the last painted frame back where the
  // previous overlay drew and runs PaintOverlay alone, without the window's Paint.
  virtual void invalidateOverlay() { invalidate(false); }
  // The title bar's text after the product name ("" for the product name alone).
  virtual void setTitleDetail(std::string_view /*cp932*/) {}
};

// The bell: the control character 7 written (and flushed) to standard output. BellCount()
// counts the bells of this process, for tests.
void Bell();
int BellCount();

class TWindow {
 public:
  TWindow() = default;
  virtual ~TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  // Message handlers.
  virtual void SetupWindow() {}
  virtual void CleanupWindow() {}
  virtual void Paint(TDC& dc, bool erase, TRect& rect);
  virtual void EvKeyDown(unsigned key, unsigned repeatCount, unsigned flags);
  virtual void EvChar(unsigned key, unsigned repeatCount, unsigned flags);
  virtual void EvLButtonDown(unsigned modKeys, const TPoint& point);
  virtual void EvLButtonDblClk(unsigned modKeys, const TPoint& point);
  virtual void EvSize(unsigned sizeType, const TSize& size);
  // The pointer. A move carries the button and modifier bits (MK_*); the wheel carries whole
  // notches, positive when turned away from the user; a leave says the pointer left the client
  // area (or the window lost it).
  virtual void EvMouseMove(unsigned modKeys, const TPoint& point);
  virtual void EvMouseWheel(unsigned modKeys, int notches, const TPoint& point);
  virtual void EvLButtonUp(unsigned modKeys, const TPoint& point);
  virtual void EvMouseLeave();
  // Drawn over the frame that Paint left, after every Paint and on InvalidateOverlay: pointer
  // marks and overlays that come and go without the screen below them being worked out again.
  virtual void PaintOverlay(TDC& dc);
  // A menu command by id; returns false when the window has no handler for it.
  virtual bool EvCommand(int id);

  // Services.
  void Invalidate(bool erase = true);
  void InvalidateOverlay();
  void SetTitleDetail(std::string_view cp932);
  TRect GetClientRect() const;
  void CloseWindow(int retVal = 0);
  int MessageBox(std::string_view textCp932, std::string_view captionCp932,
                 unsigned type = MB_OK);
  void SetCursor(Cursor cursor);
  // Tells the host that a file of this window's work could not be written, so a script run
  // ends with a failure status.
  void ReportWriteFailure();
  void SetBkgndColor(COLORREF color) { background_ = color; }
  COLORREF GetBkgndColor() const { return background_; }

  // Host side.
  void AttachHost(WindowHost* host) { host_ = host; }
  WindowHost* host() const { return host_; }

 private:
  WindowHost* host_ = nullptr;
  COLORREF background_ = RGB(255, 255, 255);
};

class SDIDecFrame {
 public:
  SDIDecFrame(std::string captionCp932, std::unique_ptr<TWindow> client,
              const ResourceSet& resources);
  void SetIcon(int resourceId);
  void AssignMenu(int resourceId);
  void SetAcceleratorTable(int resourceId);
  void SetShowMinimized(bool minimized) { minimized_ = minimized; }

  const std::string& caption() const { return caption_; }
  TWindow* GetClientWindow() const { return client_.get(); }
  // Destroys the client window (after a close request); the frame stays open without it.
  void DestroyClient();
  const Menu* menu() const { return menu_; }
  const Icon* icon() const { return icon_; }
  const AcceleratorTable* accelerators() const { return accelerators_; }
  bool showMinimized() const { return minimized_; }

 private:
  std::string caption_;
  std::unique_ptr<TWindow> client_;
  const ResourceSet& resources_;
  const Menu* menu_ = nullptr;
  const Icon* icon_ = nullptr;
  const AcceleratorTable* accelerators_ = nullptr;
  bool minimized_ = false;
};

class Host;

class TApplication {
 public:
  explicit TApplication(std::string nameCp932) : name_(std::move(nameCp932)) {}
  virtual ~TApplication() = default;
  virtual void InitMainWindow() = 0;

  const std::string& GetName() const { return name_; }
  void SetMainWindow(std::unique_ptr<SDIDecFrame> frame) { frame_ = std::move(frame); }
  SDIDecFrame* GetMainWindow() const { return frame_.get(); }
  // Creates the main window and runs the host's message loop; returns the exit status.
  int Run(Host& host);
  bool startedMinimized = false;

 private:
  std::string name_;
  std::unique_ptr<SDIDecFrame> frame_;
};

// A message loop: the interactive SDL2 host or the headless script host.
class Host {
 public:
  virtual ~Host() = default;
  virtual int run(SDIDecFrame& frame) = 0;
};
