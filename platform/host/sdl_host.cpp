#include "platform/host/sdl_host.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>
#include <string>

#include "platform/gdi/raster_device.h"
#include "platform/host/frame_copy.h"
#include "platform/host/overlay_pixels.h"
#include "platform/host/window_place.h"
#include "platform/text/cp932.h"

namespace {

volatile std::sig_atomic_t g_terminate = 0;

// The largest client side a remembered window place may ask for.
constexpr int MaxRememberedSide = 8192;

extern "C" void onTerminateSignal(int) { g_terminate = 1; }

// Virtual-key code of a key press, or 0 for keys the programs do not know.
unsigned virtualKey(const SDL_Keysym& key) {
  switch (key.scancode) {
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_KP_1: return VK_NUMPAD0 + 1;
    case SDL_SCANCODE_KP_2: return VK_NUMPAD0 + 2;
    case SDL_SCANCODE_KP_3: return VK_NUMPAD0 + 3;
    case SDL_SCANCODE_KP_4: return VK_NUMPAD0 + 4;
    case SDL_SCANCODE_KP_5: return VK_NUMPAD0 + 5;
    case SDL_SCANCODE_KP_6: return VK_NUMPAD0 + 6;
    case SDL_SCANCODE_KP_7: return VK_NUMPAD0 + 7;
    case SDL_SCANCODE_KP_8: return VK_NUMPAD0 + 8;
    case SDL_SCANCODE_KP_9: return VK_NUMPAD0 + 9;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    default: break;
  }
  const SDL_Keycode k = key.sym;
  if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + static_cast<unsigned>(k - SDLK_F1);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + static_cast<unsigned>(k - SDLK_0);
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + static_cast<unsigned>(k - SDLK_a);
  switch (k) {
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_END: return VK_END;
    case SDLK_QUESTION: return VK_HELP;
    // '?' is Shift and '/' on the usual layouts.
    case SDLK_SLASH: return (key.mod & KMOD_SHIFT) ? static_cast<unsigned>(VK_HELP) : 0u;
    default: return 0;
  }
}

// The SDL library is loaded when a window opens, so that script runs and batch commands never
// load the windowing libraries. Every function the host calls is listed here; the types come
// from the library's header.
#define PELINOR_SDL_FUNCTIONS(X)                                                            \
  X(SDL_Init) X(SDL_Quit) X(SDL_GetError) X(SDL_SetHint) X(SDL_CreateWindow)                \
  X(SDL_DestroyWindow) X(SDL_GetWindowSize) X(SDL_SetWindowIcon)                            \
  X(SDL_CreateRGBSurfaceWithFormatFrom) X(SDL_FreeSurface) X(SDL_CreateSystemCursor)        \
  X(SDL_FreeCursor) X(SDL_SetCursor) X(SDL_PollEvent) X(SDL_WaitEventTimeout)               \
  X(SDL_ShowSimpleMessageBox) X(SDL_CreateRenderer) X(SDL_DestroyRenderer)                  \
  X(SDL_CreateTexture) X(SDL_DestroyTexture) X(SDL_UpdateTexture) X(SDL_RenderCopy)         \
  X(SDL_RenderPresent) X(SDL_GetRendererOutputSize) X(SDL_GetWindowPixelFormat)             \
  X(SDL_GetWindowSurface) X(SDL_UpdateWindowSurface) X(SDL_UpdateWindowSurfaceRects)        \
  X(SDL_LockSurface) X(SDL_UnlockSurface) X(SDL_SetWindowTitle) X(SDL_GetWindowPosition)    \
  X(SDL_GetModState) X(SDL_GetNumVideoDisplays) X(SDL_GetDisplayBounds)

struct SdlLibrary {
#define PELINOR_SDL_POINTER(name) decltype(&::name) name = nullptr;
  PELINOR_SDL_FUNCTIONS(PELINOR_SDL_POINTER)
#undef PELINOR_SDL_POINTER
  void* handle = nullptr;
};

SdlLibrary sdl;

// Loads the library once; false (with the reason in `why`) when it or a function is missing.
bool loadSdl(std::string& why) {
  if (sdl.handle) return true;
  void* handle = nullptr;
  for (const char* name : {"libSDL2-2.0.so.0", "libSDL2-2.0.so", "libSDL2.so"}) {
    handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle) break;
  }
  if (!handle) {
    const char* error = ::dlerror();
    why = error ? error : "the SDL2 library was not found";
    return false;
  }
  SdlLibrary loaded;
#define PELINOR_SDL_LOAD(name)                                                  \
  loaded.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));     \
  if (!loaded.name) {                                                           \
    why = "the SDL2 library has no " #name;                                     \
    ::dlclose(handle);                                                          \
    return false;                                                               \
  }
  PELINOR_SDL_FUNCTIONS(PELINOR_SDL_LOAD)
#undef PELINOR_SDL_LOAD
  loaded.handle = handle;
  sdl = loaded;
  return true;
}

// The frame's words (0x00RRGGBB) are the native layout of a window surface or texture of this
// format: they are copied row by row as they are.
constexpr Uint32 FramePixelFormat = SDL_PIXELFORMAT_RGB888;

// Set (to anything but "0") to show frames through an SDL renderer even where the window's
// own pixels would take them.
constexpr const char* RendererVariable = "PELINOR_WINDOW_RENDERER";

bool rendererAsked() {
  const char* v = std::getenv(RendererVariable);
  return v && *v && std::strcmp(v, "0") != 0;
}

// Starts SDL's video. A window surface is then the window system's own image (under X11 a
// shared-memory image) rather than a texture drawn by a renderer, which under a software GL
// costs a texture upload, a draw and a read back on every showing.
bool initVideo() {
  sdl.SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return sdl.SDL_Init(SDL_INIT_VIDEO) == 0;
}

// A texture holding one raster frame of a fixed size.
class FrameTexture {
 public:
  ~FrameTexture() { reset(); }
  void reset() {
    if (texture_) sdl.SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    width_ = height_ = 0;
  }
  // Uploads the frame, making the texture anew when its size changed.
  bool upload(SDL_Renderer* renderer, const RasterDevice& frame) {
    if (frame.width() <= 0 || frame.height() <= 0) {
      reset();
      return false;
    }
    if (!texture_ || width_ != frame.width() || height_ != frame.height()) {
      reset();
      texture_ = sdl.SDL_CreateTexture(renderer, FramePixelFormat, SDL_TEXTUREACCESS_STREAMING,
                                       frame.width(), frame.height());
      if (!texture_) return false;
      width_ = frame.width();
      height_ = frame.height();
    }
    return sdl.SDL_UpdateTexture(texture_, nullptr, frame.pixels(),
                                 frame.width() * static_cast<int>(sizeof(std::uint32_t))) == 0;
  }
  // Draws the texture with its top left corner at (0, top), unscaled.
  void draw(SDL_Renderer* renderer, int top) const {
    if (!texture_) return;
    const SDL_Rect to{0, top, width_, height_};
    sdl.SDL_RenderCopy(renderer, texture_, nullptr, &to);
  }

 private:
  SDL_Texture* texture_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// How painted frames reach a window: the menu bar's frame on top, the client's below it.
// Where the window's own pixels have the frame's layout, the frames are copied into them and
// only the rectangles that differ from what the window shows are handed to the window system;
// otherwise (another pixel layout, or the renderer asked for) through a renderer and two
// streaming textures, the whole frame each time.
class WindowView {
 public:
  WindowView() = default;
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;
  ~WindowView() {
    barTexture_.reset();
    clientTexture_.reset();
    if (renderer_) sdl.SDL_DestroyRenderer(renderer_);
  }

  bool open(SDL_Window* window) {
    window_ = window;
    if (!rendererAsked() && sdl.SDL_GetWindowPixelFormat(window) == FramePixelFormat) {
      SDL_Surface* s = sdl.SDL_GetWindowSurface(window);
      if (s && s->format && s->format->format == FramePixelFormat &&
          s->format->BytesPerPixel == sizeof(std::uint32_t)) {
        throughSurface_ = true;
        stale_ = true;
        return true;
      }
    }
    renderer_ = sdl.SDL_CreateRenderer(window, -1, 0);
    return renderer_ != nullptr;
  }

  bool throughSurface() const { return throughSurface_; }

  // The window's size in pixels.
  void outputSize(int& width, int& height) const {
    width = height = 0;
    if (renderer_ && sdl.SDL_GetRendererOutputSize(renderer_, &width, &height) == 0) return;
    sdl.SDL_GetWindowSize(window_, &width, &height);
  }

  // The window was resized: its pixels are made anew and hold nothing shown yet.
  void sizeChanged() { stale_ = true; }
  // The bar's frame was drawn anew.
  void barChanged() { barStale_ = true; }

  // Shows the frames. `changedOnly`: the window system is handed only what differs from the
  // frames shown last (everything after a resize); otherwise the whole window.
  bool show(const RasterDevice& bar, const RasterDevice& client, bool changedOnly) {
    if (!throughSurface_) return present(bar, client, true);
    SDL_Surface* s = surface();
    if (!s) return false;
    const bool all = stale_ || !changedOnly;
    std::vector<SDL_Rect> rects;
    const PixelRows rows = lock(s);
    if (all) {
      copyAllPixels(bar.pixels(), bar.width(), bar.height(), rows, 0);
      copyAllPixels(client.pixels(), client.width(), client.height(), rows, bar.height());
    } else {
      for (const FrameRect& r : copyChangedPixels(bar.pixels(), bar.width(), bar.height(), rows, 0))
        rects.push_back({r.x, r.y, r.w, r.h});
      for (const FrameRect& r : copyChangedPixels(client.pixels(), client.width(),
                                                  client.height(), rows, bar.height()))
        rects.push_back({r.x, r.y, r.w, r.h});
    }
    unlock(s);
    stale_ = false;
    if (all) return sdl.SDL_UpdateWindowSurface(window_) == 0;
    if (rects.empty()) return true;
    return sdl.SDL_UpdateWindowSurfaceRects(window_, rects.data(), static_cast<int>(rects.size())) == 0;
  }

  // Shows the client frame where only `rects` (client pixels) changed since it was last shown,
  // as after an overlay: only those are copied and handed to the window system.
  bool showRects(const RasterDevice& bar, const RasterDevice& client,
                 const std::vector<TRect>& rects) {
    if (!throughSurface_ || stale_) return show(bar, client, true);
    SDL_Surface* s = surface();
    if (!s) return false;
    const PixelRows rows = lock(s);
    if (!rows.pixels) return false;
    std::vector<SDL_Rect> handed;
    for (const TRect& r : rects) {
      const int l = std::max(r.left, 0);
      const int t = std::max(r.top, 0);
      const int right = std::min({r.right, client.width(), rows.width});
      const int bottom = std::min(r.bottom, client.height());
      if (l >= right || t >= bottom) continue;
      for (int y = t; y < bottom && y + bar.height() < rows.height; ++y) {
        const std::uint32_t* from = client.pixels() + static_cast<std::size_t>(y) * client.width() + l;
        std::copy(from, from + (right - l), rows.row(y + bar.height()) + l);
      }
      handed.push_back({l, t + bar.height(), right - l, bottom - t});
    }
    unlock(s);
    if (handed.empty()) return true;
    return sdl.SDL_UpdateWindowSurfaceRects(window_, handed.data(), static_cast<int>(handed.size())) == 0;
  }

  // Shows the frames shown last again, as when the window is uncovered: the window's pixels
  // still hold them, unless the window was resized meanwhile.
  bool showAgain(const RasterDevice& bar, const RasterDevice& client) {
    if (!throughSurface_) return present(bar, client, false);
    if (stale_ || !surface()) return show(bar, client, false);
    return sdl.SDL_UpdateWindowSurface(window_) == 0;
  }

 private:
  // The window's pixels; fetched again after a resize, when SDL makes them anew.
  SDL_Surface* surface() {
    SDL_Surface* s = sdl.SDL_GetWindowSurface(window_);
    if (!s || !s->format || s->format->format != FramePixelFormat) return nullptr;
    return s;
  }
  static PixelRows lock(SDL_Surface* s) {
    if (SDL_MUSTLOCK(s) && sdl.SDL_LockSurface(s) != 0) return {};
    return {static_cast<std::uint32_t*>(s->pixels), s->w, s->h, static_cast<std::size_t>(s->pitch)};
  }
  static void unlock(SDL_Surface* s) {
    if (SDL_MUSTLOCK(s)) sdl.SDL_UnlockSurface(s);
  }

  // The renderer's way: `upload` false draws the textures uploaded last.
  bool present(const RasterDevice& bar, const RasterDevice& client, bool upload) {
    if (!renderer_) return false;
    if (barStale_) {
      barStale_ = false;
      if (bar.height() > 0) {
        barTexture_.upload(renderer_, bar);
      } else {
        barTexture_.reset();
      }
    }
    if (upload) clientTexture_.upload(renderer_, client);
    barTexture_.draw(renderer_, 0);
    clientTexture_.draw(renderer_, bar.height());
    sdl.SDL_RenderPresent(renderer_);
    return true;
  }

  SDL_Window* window_ = nullptr;
  bool throughSurface_ = false;
  bool stale_ = true;
  SDL_Renderer* renderer_ = nullptr;
  FrameTexture barTexture_;
  FrameTexture clientTexture_;
  bool barStale_ = true;
};

class SdlWindowHost : public WindowHost {
 public:
  SdlWindowHost(SDIDecFrame& frame, TSize clientSize, const WindowPlace* place)
      : frame_(frame), client_(clientSize) {
    if (place) {
      client_ = {place->width, place->height};
      position_ = TPoint{place->x, place->y};
      placed_ = true;
    }
  }

  ~SdlWindowHost() override {
    view_.reset();
    if (waitCursor_) sdl.SDL_FreeCursor(waitCursor_);
    if (arrowCursor_) sdl.SDL_FreeCursor(arrowCursor_);
    if (window_) sdl.SDL_DestroyWindow(window_);
  }

  bool create() {
    const int barHeight = menuBarHeight(menu(), client_.cx);
    // A place remembered on a screen that is no longer there would open the window out of sight.
    if (placed_ && !onSomeDisplay(position_.x, position_.y, client_.cx, client_.cy + barHeight))
      placed_ = false;
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (frame_.showMinimized()) flags |= SDL_WINDOW_MINIMIZED;
    const std::string title = pelinor::text::toUtf8(frame_.caption());
    window_ = sdl.SDL_CreateWindow(title.c_str(), placed_ ? position_.x : SDL_WINDOWPOS_UNDEFINED,
                                   placed_ ? position_.y : SDL_WINDOWPOS_UNDEFINED, client_.cx,
                                   client_.cy + barHeight, flags);
    if (!window_) return false;
    view_ = std::make_unique<WindowView>();
    if (!view_->open(window_)) return false;
    setIcon();
    waitCursor_ = sdl.SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    arrowCursor_ = sdl.SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    return true;
  }

  int loop() {
    if (TWindow* w = frame_.GetClientWindow()) {
      w->AttachHost(this);
      w->SetupWindow();
    }
    invalid_ = true;
    erase_ = true;
    repaint();
    while (!g_terminate) {
      // A window invalidated (also by its own paint) is painted again as soon as the pending
      // events are handled; otherwise the loop waits for the next event.
      SDL_Event event;
      const bool got = invalid_ ? sdl.SDL_PollEvent(&event) != 0
                                : sdl.SDL_WaitEventTimeout(&event, 100) != 0;
      if (got) {
        if (event.type == SDL_QUIT || quit_) break;
        handle(event);
        if (quit_) break;
        finishClose();
      }
      if (invalid_) {
        repaint();
      } else if (overlayInvalid_) {
        paintOverlay();
        view_->showRects(barRaster_, clientRaster_, overlay_.touched());
      } else if (exposed_) {
        exposed_ = false;
        view_->showAgain(barRaster_, clientRaster_);
      }
    }
    if (frame_.GetClientWindow()) frame_.DestroyClient();
    return 0;
  }

  // WindowHost
  void invalidate(bool erase) override {
    invalid_ = true;
    erase_ = erase_ || erase;
  }
  TSize clientSize() const override { return client_; }
  void invalidateOverlay() override { overlayInvalid_ = true; }
  void setTitleDetail(std::string_view cp932) override {
    std::string title = frame_.caption();
    if (!cp932.empty()) {
      title += " - ";
      title += cp932;
    }
    const std::string utf8 = pelinor::text::toUtf8(title);
    if (window_) sdl.SDL_SetWindowTitle(window_, utf8.c_str());
  }
  // The window's place as the user left it: position and client size.
  WindowPlace place() const {
    WindowPlace p;
    if (!window_) return p;
    sdl.SDL_GetWindowPosition(window_, &p.x, &p.y);
    p.width = client_.cx;
    p.height = client_.cy;
    return p;
  }
  void closeRequest(TWindow&, int) override { closePending_ = true; }
  int messageBox(std::string_view text, std::string_view caption, unsigned) override {
    const std::string t = pelinor::text::toUtf8(text);
    const std::string c = pelinor::text::toUtf8(caption);
    if (sdl.SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, c.c_str(), t.c_str(), window_) !=
        0) {
      std::fprintf(stderr, "[%s] %s\n", c.c_str(), t.c_str());
    }
    return IDOK;
  }
  void setCursor(Cursor cursor) override {
    SDL_Cursor* c = cursor == Cursor::Wait ? waitCursor_ : arrowCursor_;
    if (c) sdl.SDL_SetCursor(c);
  }

 private:
  const Menu& menu() const {
    static const Menu empty;
    return frame_.menu() ? *frame_.menu() : empty;
  }

  void setIcon() {
    const Icon* icon = frame_.icon();
    if (!icon || icon->width <= 0 || icon->height <= 0) return;
    std::vector<Uint32> pixels(icon->rgba.begin(), icon->rgba.end());
    if (pixels.size() < static_cast<std::size_t>(icon->width) * icon->height) return;
    SDL_Surface* s = sdl.SDL_CreateRGBSurfaceWithFormatFrom(
        pixels.data(), icon->width, icon->height, 32, icon->width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return;
    sdl.SDL_SetWindowIcon(window_, s);
    sdl.SDL_FreeSurface(s);
  }

  void handle(const SDL_Event& event) {
    TWindow* w = frame_.GetClientWindow();
    const int barHeight = menuBarHeight(menu(), windowWidth());
    switch (event.type) {
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          view_->sizeChanged();
          int ww = 0;
          int wh = 0;
          sdl.SDL_GetWindowSize(window_, &ww, &wh);
          const int bar = menuBarHeight(menu(), ww);
          client_ = {std::max(ww, 1), std::max(wh - bar, 1)};
          if (w) w->EvSize(SIZE_RESTORED, client_);
          invalid_ = true;  // the bar and the frame are drawn anew at the new size
        } else if (event.window.event == SDL_WINDOWEVENT_LEAVE) {
          if (w && pointerInside_) w->EvMouseLeave();
          pointerInside_ = false;
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          // Uncovering shows the last frame again: painting anew would run the window's last
          // command once more.
          exposed_ = true;
        }
        break;
      case SDL_KEYDOWN: {
        const unsigned vk = virtualKey(event.key.keysym);
        const unsigned flags = modifierBits(event.key.keysym.mod);
        if (isQuitChord(vk, flags)) {
          quit_ = true;  // as the window's close button
        } else if (vk && w) {
          w->EvKeyDown(vk, 1, flags);
        }
        break;
      }
      case SDL_MOUSEMOTION:
        if (!w) break;
        pointer_ = TPoint{event.motion.x, event.motion.y - barHeight};
        if (event.motion.y < barHeight) {
          // Over the menu bar the pointer has left the client area.
          if (pointerInside_) w->EvMouseLeave();
          pointerInside_ = false;
        } else {
          pointerInside_ = true;
          unsigned mods = modifierBits(sdl.SDL_GetModState());
          if (event.motion.state & SDL_BUTTON_LMASK) mods |= MK_LBUTTON;
          w->EvMouseMove(mods, pointer_);
        }
        break;
      case SDL_MOUSEWHEEL: {
        if (!w || !pointerInside_) break;
        int notches = event.wheel.y;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        if (notches != 0) w->EvMouseWheel(modifierBits(sdl.SDL_GetModState()), notches, pointer_);
        break;
      }
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && w && event.button.y >= barHeight)
          w->EvLButtonUp(0, TPoint{event.button.x, event.button.y - barHeight});
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button != SDL_BUTTON_LEFT) break;
        if (event.button.y < barHeight) {
          const int id = menuBarHit(menu(), windowWidth(), event.button.x, event.button.y);
          if (id && w && event.button.clicks == 1) w->EvCommand(id);
        } else if (w) {
          const TPoint p{event.button.x, event.button.y - barHeight};
          if (event.button.clicks >= 2) {
            w->EvLButtonDblClk(0, p);
          } else {
            w->EvLButtonDown(MK_LBUTTON, p);
          }
        }
        break;
      default:
        break;
    }
  }

  void finishClose() {
    if (!closePending_) return;
    closePending_ = false;
    frame_.DestroyClient();  // the frame stays open, empty, until the user closes it
    invalid_ = true;
    erase_ = true;
  }

  int windowWidth() const {
    int ww = 0;
    int wh = 0;
    sdl.SDL_GetWindowSize(window_, &ww, &wh);
    return ww;
  }

  // The menu bar is drawn only when its size changed.
  void updateBar(int width) {
    const int bar = menuBarHeight(menu(), width);
    if (bar == barRaster_.height() && width == barRaster_.width() && barDrawn_) return;
    barRaster_.resize(width, bar);
    if (bar > 0) drawMenuBar(menu(), barRaster_);
    barDrawn_ = true;
    view_->barChanged();
  }

  void repaint() {
    int ww = 0;
    int wh = 0;
    view_->outputSize(ww, wh);
    updateBar(ww);
    const int bar = barRaster_.height();
    client_ = {std::max(ww, 1), std::max(wh - bar, 1)};
    if (clientRaster_.width() != client_.cx || clientRaster_.height() != client_.cy) {
      clientRaster_.resize(client_.cx, client_.cy);
      erase_ = true;
    }
    TWindow* w = frame_.GetClientWindow();
    if (w) {
      setCursor(Cursor::Wait);
      if (erase_) clientRaster_.clear(w->GetBkgndColor());
      TDC dc(clientRaster_);
      TRect rect{0, 0, client_.cx, client_.cy};
      const bool erase = erase_;
      invalid_ = false;
      erase_ = false;
      w->Paint(dc, erase, rect);
      setCursor(Cursor::Arrow);
      overlay_.forget();
      paintOverlay();
    } else {
      clientRaster_.clear(RGB(255, 255, 255));
      invalid_ = false;
      erase_ = false;
    }
    exposed_ = false;  // the showing below covers an uncovering that came meanwhile
    view_->show(barRaster_, clientRaster_, true);
    finishClose();
  }

  // Whether at least a corner's worth (64 pixels square) of the rectangle lies on a display.
  static bool onSomeDisplay(int x, int y, int w, int h) {
    const int displays = sdl.SDL_GetNumVideoDisplays();
    for (int d = 0; d < displays; ++d) {
      SDL_Rect b{};
      if (sdl.SDL_GetDisplayBounds(d, &b) != 0) continue;
      const int overlapW = std::min(x + w, b.x + b.w) - std::max(x, b.x);
      const int overlapH = std::min(y + h, b.y + b.h) - std::max(y, b.y);
      if (overlapW >= std::min(64, w) && overlapH >= std::min(64, h)) return true;
    }
    return false;
  }

  static unsigned modifierBits(unsigned sdlMods) {
    unsigned bits = 0;
    if (sdlMods & KMOD_SHIFT) bits |= MK_SHIFT;
    if (sdlMods & KMOD_CTRL) bits |= MK_CONTROL;
    return bits;
  }

  // The overlay over the frame the window's Paint left: the pixels under the last overlay are
  // put back, then the overlay drawn again.
  void paintOverlay() {
    overlayInvalid_ = false;
    if (TWindow* w = frame_.GetClientWindow()) overlay_.repaint(*w, clientRaster_, nullptr);
  }

  SDIDecFrame& frame_;
  TSize client_;
  TPoint position_{};
  bool placed_ = false;
  bool quit_ = false;
  bool overlayInvalid_ = false;
  bool pointerInside_ = false;
  TPoint pointer_{};
  OverlayPixels overlay_;
  SDL_Window* window_ = nullptr;
  std::unique_ptr<WindowView> view_;
  SDL_Cursor* waitCursor_ = nullptr;
  SDL_Cursor* arrowCursor_ = nullptr;
  RasterDevice barRaster_{0, 0};
  RasterDevice clientRaster_{0, 0};
  bool barDrawn_ = false;
  bool invalid_ = false;
  bool erase_ = false;
  bool exposed_ = false;
  bool closePending_ = false;
};

// A window of the frame's size for the benchmarks, with its view; nothing when none opens.
struct BenchWindow {
  SDL_Window* window = nullptr;
  std::unique_ptr<WindowView> view;
  RasterDevice noBar{0, 0};

  explicit BenchWindow(const RasterDevice& frame) {
    std::string why;
    if (!loadSdl(why) || !initVideo()) return;
    window = sdl.SDL_CreateWindow("frame", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  frame.width(), frame.height(), 0);
    if (!window) return;
    view = std::make_unique<WindowView>();
    if (!view->open(window) || !view->show(noBar, frame, false)) view.reset();
  }
  ~BenchWindow() {
    view.reset();
    if (window) sdl.SDL_DestroyWindow(window);
    if (sdl.handle) sdl.SDL_Quit();
  }
  bool ok() const { return view != nullptr; }
};

template <typename Show>
double meanMilliseconds(int count, Show show) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) show(i);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count() / count;
}

}  // namespace

SdlHost::SdlHost(TSize clientSize, std::string program, bool sizeGiven)
    : size_(clientSize), program_(std::move(program)), sizeGiven_(sizeGiven) {}

int SdlHost::run(SDIDecFrame& frame) {
  std::string why;
  if (!loadSdl(why)) {
    std::fprintf(stderr, "cannot open a window: %s\n", why.c_str());
    return 1;
  }
  // SIGTERM and SIGINT end the loop; the client window is cleaned up and the program exits 0.
  sdl.SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  std::signal(SIGTERM, onTerminateSignal);
  std::signal(SIGINT, onTerminateSignal);
  if (!initVideo()) {
    std::fprintf(stderr, "cannot open a window: %s\n", sdl.SDL_GetError());
    return 1;
  }
  int status = 1;
  {
    const std::string placeFile = program_.empty() ? std::string() : windowPlaceFile(program_);
    std::optional<WindowPlace> place = readWindowPlace(placeFile, MaxRememberedSide);
    if (place && sizeGiven_) {
      place->width = size_.cx;
      place->height = size_.cy;
    }
    SdlWindowHost host(frame, size_, place ? &*place : nullptr);
    if (host.create()) {
      status = host.loop();
      if (!placeFile.empty()) writeWindowPlace(placeFile, host.place());
    } else {
      std::fprintf(stderr, "cannot open a window: %s\n", sdl.SDL_GetError());
    }
  }
  sdl.SDL_Quit();
  return status;
}

double timeFrameShowing(const RasterDevice& frame, int count, const char** path) {
  if (count <= 0) return -1;
  BenchWindow w(frame);
  if (!w.ok()) return -1;
  if (path) *path = w.view->throughSurface() ? "window surface" : "renderer";
  return meanMilliseconds(count, [&](int) { w.view->show(w.noBar, frame, false); });
}

double timeChangeShowing(const RasterDevice& first, const RasterDevice& second, int count,
                         const char** path) {
  if (count <= 0 || first.width() != second.width() || first.height() != second.height())
    return -1;
  BenchWindow w(first);
  if (!w.ok()) return -1;
  if (path) *path = w.view->throughSurface() ? "window surface" : "renderer";
  return meanMilliseconds(count, [&](int i) {
    w.view->show(w.noBar, i % 2 == 0 ? second : first, true);
  });
}
