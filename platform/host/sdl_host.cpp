#include "platform/host/sdl_host.h"

#include <SDL.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/gdi/raster_device.h"
#include "platform/text/cp932.h"

namespace {

volatile std::sig_atomic_t g_terminate = 0;

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
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_SPACE: return VK_SPACE;
    default: return 0;
  }
}

// Copies an RGB raster into the window surface at (0, top).
void blit(const RasterDevice& raster, SDL_Surface* surface, int top) {
  SDL_LockSurface(surface);
  const int width = std::min(raster.width(), surface->w);
  const auto& rgb = raster.rgb();
  for (int y = 0; y < raster.height(); ++y) {
    const int sy = top + y;
    if (sy < 0 || sy >= surface->h) continue;
    auto* row = reinterpret_cast<std::uint8_t*>(surface->pixels) + sy * surface->pitch;
    for (int x = 0; x < width; ++x) {
      const std::size_t i = (static_cast<std::size_t>(y) * raster.width() + x) * 3;
      const Uint32 pixel = SDL_MapRGB(surface->format, rgb[i], rgb[i + 1], rgb[i + 2]);
      std::uint8_t* p = row + x * surface->format->BytesPerPixel;
      switch (surface->format->BytesPerPixel) {
        case 4: *reinterpret_cast<Uint32*>(p) = pixel; break;
        case 2: *reinterpret_cast<Uint16*>(p) = static_cast<Uint16>(pixel); break;
        default: std::memcpy(p, &pixel, surface->format->BytesPerPixel); break;
      }
    }
  }
  SDL_UnlockSurface(surface);
}

class SdlWindowHost : public WindowHost {
 public:
  SdlWindowHost(SDIDecFrame& frame, TSize clientSize) : frame_(frame), client_(clientSize) {}

  ~SdlWindowHost() override {
    if (waitCursor_) SDL_FreeCursor(waitCursor_);
    if (arrowCursor_) SDL_FreeCursor(arrowCursor_);
    if (window_) SDL_DestroyWindow(window_);
  }

  bool create() {
    const int barHeight = menuBarHeight(menu(), client_.cx);
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (frame_.showMinimized()) flags |= SDL_WINDOW_MINIMIZED;
    const std::string title = pelinor::text::toUtf8(frame_.caption());
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               client_.cx, client_.cy + barHeight, flags);
    if (!window_) return false;
    setIcon();
    waitCursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    arrowCursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
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
      const bool got = invalid_ ? SDL_PollEvent(&event) != 0
                                : SDL_WaitEventTimeout(&event, 100) != 0;
      if (got) {
        if (event.type == SDL_QUIT) break;
        handle(event);
        finishClose();
      }
      if (invalid_) repaint();
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
  void closeRequest(TWindow&, int) override { closePending_ = true; }
  int messageBox(std::string_view text, std::string_view caption, unsigned) override {
    const std::string t = pelinor::text::toUtf8(text);
    const std::string c = pelinor::text::toUtf8(caption);
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, c.c_str(), t.c_str(), window_) !=
        0) {
      std::fprintf(stderr, "[%s] %s\n", c.c_str(), t.c_str());
    }
    return IDOK;
  }
  void setCursor(Cursor cursor) override {
    SDL_Cursor* c = cursor == Cursor::Wait ? waitCursor_ : arrowCursor_;
    if (c) SDL_SetCursor(c);
  }

 private:
  const Menu& menu() const {
    static const Menu empty;
    return frame_.menu() ? *frame_.menu() : empty;
  }

  void setIcon() {
    const Icon* icon = frame_.icon();
    if (!icon || icon->width <= 0 || icon->height <= 0) return;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, icon->width, icon->height, 32,
                                                    SDL_PIXELFORMAT_ARGB8888);
    if (!s) return;
    SDL_LockSurface(s);
    for (int y = 0; y < icon->height; ++y) {
      auto* row = reinterpret_cast<Uint32*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
      for (int x = 0; x < icon->width; ++x) row[x] = icon->rgba[y * icon->width + x];
    }
    SDL_UnlockSurface(s);
    SDL_SetWindowIcon(window_, s);
    SDL_FreeSurface(s);
  }

  void handle(const SDL_Event& event) {
    TWindow* w = frame_.GetClientWindow();
    const int barHeight = menuBarHeight(menu(), windowWidth());
    switch (event.type) {
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          int ww = 0;
          int wh = 0;
          SDL_GetWindowSize(window_, &ww, &wh);
          const int bar = menuBarHeight(menu(), ww);
          client_ = {std::max(ww, 1), std::max(wh - bar, 1)};
          if (w) w->EvSize(SIZE_RESTORED, client_);
          invalid_ = true;  // the bar and the frame are drawn anew at the new size
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          invalid_ = true;
        }
        break;
      case SDL_KEYDOWN: {
        const unsigned vk = virtualKey(event.key.keysym);
        if (vk && w) w->EvKeyDown(vk, 1, 0);
        break;
      }
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
            w->EvLButtonDown(0, p);
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
    SDL_GetWindowSize(window_, &ww, &wh);
    return ww;
  }

  void repaint() {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    const int ww = surface->w;
    const int bar = menuBarHeight(menu(), ww);
    if (bar > 0) {
      RasterDevice barRaster(ww, bar);
      drawMenuBar(menu(), barRaster);
      blit(barRaster, surface, 0);
    }
    if (client_.cx != ww || client_.cy != std::max(surface->h - bar, 1)) {
      client_ = {std::max(ww, 1), std::max(surface->h - bar, 1)};
    }
    if (!clientRaster_ || clientRaster_->width() != client_.cx ||
        clientRaster_->height() != client_.cy) {
      clientRaster_ = std::make_unique<RasterDevice>(client_.cx, client_.cy);
      erase_ = true;
    }
    TWindow* w = frame_.GetClientWindow();
    if (w) {
      setCursor(Cursor::Wait);
      if (erase_) clientRaster_->clear(w->GetBkgndColor());
      TDC dc(*clientRaster_);
      TRect rect{0, 0, client_.cx, client_.cy};
      const bool erase = erase_;
      invalid_ = false;
      erase_ = false;
      w->Paint(dc, erase, rect);
      setCursor(Cursor::Arrow);
    } else {
      clientRaster_->clear(RGB(255, 255, 255));
      invalid_ = false;
      erase_ = false;
    }
    blit(*clientRaster_, surface, bar);
    SDL_UpdateWindowSurface(window_);
    finishClose();
  }

  SDIDecFrame& frame_;
  TSize client_;
  SDL_Window* window_ = nullptr;
  SDL_Cursor* waitCursor_ = nullptr;
  SDL_Cursor* arrowCursor_ = nullptr;
  std::unique_ptr<RasterDevice> clientRaster_;
  bool invalid_ = false;
  bool erase_ = false;
  bool closePending_ = false;
};

}  // namespace

SdlHost::SdlHost(TSize clientSize) : size_(clientSize) {}

int SdlHost::run(SDIDecFrame& frame) {
  // SIGTERM and SIGINT end the loop; the client window is cleaned up and the program exits 0.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  std::signal(SIGTERM, onTerminateSignal);
  std::signal(SIGINT, onTerminateSignal);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "cannot open a window: %s\n", SDL_GetError());
    return 1;
  }
  int status = 1;
  {
    SdlWindowHost host(frame, size_);
    if (host.create()) {
      status = host.loop();
    } else {
      std::fprintf(stderr, "cannot open a window: %s\n", SDL_GetError());
    }
  }
  SDL_Quit();
  return status;
}
