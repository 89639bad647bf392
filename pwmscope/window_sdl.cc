// The SDL2 window: the picture is copied into an 8-bit surface with the window's palette
// and blitted onto the window's own surface, column spans at a time.

#include "pwmscope/window_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <vector>

namespace pwmscope {
namespace {

// Keys that wait beyond this many are dropped, as a full keyboard buffer would.
constexpr std::size_t key_buffer_size = 1024;

// How often the events are looked at while the picture is shown unchanged.
constexpr int idle_wait_ms = 100;

}  // namespace

SdlWindow::~SdlWindow() {
  if (indexed_) SDL_FreeSurface(indexed_);
  if (window_) SDL_DestroyWindow(window_);
  if (sdl_started_) SDL_Quit();
}

void SdlWindow::set_title(std::string_view title) {
  title_ = std::string(title);
  if (window_) SDL_SetWindowTitle(window_, title_.c_str());
}

bool SdlWindow::open(std::string& error) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = SDL_GetError();
    return false;
  }
  sdl_started_ = true;
  // Without a display SDL falls back to drivers that draw into memory; a window nobody
  // sees is no window, unless the user asked for such a driver by name.
  std::string_view driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  const char* requested = SDL_getenv("SDL_VIDEODRIVER");
  if ((driver == "offscreen" || driver == "dummy") && !(requested && driver == requested)) {
    error = "no display (DISPLAY is not set or cannot be reached)";
    return false;
  }
  window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                             picture_width, picture_height, 0);
  if (window_) {
    indexed_ =
        SDL_CreateRGBSurfaceWithFormat(0, picture_width, picture_height, 8, SDL_PIXELFORMAT_INDEX8);
  }
  if (!window_ || !indexed_ || !SDL_GetWindowSurface(window_)) {
    error = SDL_GetError();
    return false;
  }
  std::array<SDL_Color, 256> colours;
  const std::array<Rgb, 256>& palette = default_palette();
  for (std::size_t i = 0; i < colours.size(); ++i) {
    colours[i] = {palette[i].red, palette[i].green, palette[i].blue, 255};
  }
  SDL_SetPaletteColors(indexed_->format->palette, colours.data(), 0, 256);
  SDL_DisplayMode mode;
  int display = SDL_GetWindowDisplayIndex(window_);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0) {
    frame_ms_ = std::max(1, 1000 / mode.refresh_rate);
  }
  SDL_StartTextInput();
  show_whole_picture();
  return true;
}

void SdlWindow::show_whole_picture() {
  std::array<bool, picture_width> changed;
  picture_.take_changed_columns(changed);
  changed.fill(true);
  Uint8* pixels = static_cast<Uint8*>(indexed_->pixels);
  for (int x = 0; x < picture_width; ++x) {
    const std::uint8_t* column = picture_.column(x);
    for (int y = 0; y < picture_height; ++y) pixels[y * indexed_->pitch + x] = column[y];
  }
  SDL_Surface* screen = SDL_GetWindowSurface(window_);
  if (!screen) return;
  SDL_BlitSurface(indexed_, nullptr, screen, nullptr);
  SDL_UpdateWindowSurface(window_);
}

void SdlWindow::present() {
  if (!window_) return;
  next_frame_ = SDL_GetTicks64() + frame_ms_;
  std::array<bool, picture_width> changed;
  if (!picture_.take_changed_columns(changed)) return;
  SDL_Surface* screen = SDL_GetWindowSurface(window_);
  if (!screen) return;
  Uint8* pixels = static_cast<Uint8*>(indexed_->pixels);
  const int pitch = indexed_->pitch;
  std::vector<SDL_Rect> spans;
  for (int x = 0; x < picture_width;) {
    if (!changed[x]) {
      ++x;
      continue;
    }
    int first = x;
    for (; x < picture_width && changed[x]; ++x) {
      const std::uint8_t* column = picture_.column(x);
      for (int y = 0; y < picture_height; ++y) pixels[y * pitch + x] = column[y];
    }
    SDL_Rect span{first, 0, x - first, picture_height};
    SDL_BlitSurface(indexed_, &span, screen, &span);
    spans.push_back(span);
  }
  SDL_UpdateWindowSurfaceRects(window_, spans.data(), int(spans.size()));
}

void SdlWindow::present_if_due() {
  if (SDL_GetTicks64() >= next_frame_) present();
}

void SdlWindow::push_key(std::string key) {
  if (keys_.size() < key_buffer_size) keys_.push_back(std::move(key));
}

void SdlWindow::handle(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      closed_ = true;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        closed_ = true;
      } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                 event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        show_whole_picture();
      }
      break;
    case SDL_TEXTINPUT:
      // A character as typed; one that takes more than a byte matches no command.
      push_key(event.text.text);
      break;
    case SDL_KEYDOWN:
      switch (event.key.keysym.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
          push_key("\r");
          break;
        case SDLK_BACKSPACE:
          push_key("\b");
          break;
        case SDLK_ESCAPE:
          push_key("\x1b");
          break;
        case SDLK_TAB:
          push_key("\t");
          break;
        default:  // characters arrive as text input; other keys mean nothing here
          break;
      }
      break;
    default:
      break;
  }
}

void SdlWindow::take_events() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) handle(event);
}

std::string SdlWindow::key_poll() {
  if (!window_) return {};
  // Events and the screen are looked after once per refresh, so a fast replay spends
  // its time drawing, not talking to the display.
  if (SDL_GetTicks64() >= next_frame_) {
    take_events();
    present();
  }
  if (closed_) return "x";
  if (keys_.empty()) return {};
  std::string key = std::move(keys_.front());
  keys_.pop_front();
  return key;
}

std::string SdlWindow::key_wait() {
  if (!window_) return "x";
  for (;;) {
    take_events();
    if (closed_) return "x";
    if (!keys_.empty()) {
      std::string key = std::move(keys_.front());
      keys_.pop_front();
      return key;
    }
    present();
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, idle_wait_ms)) handle(event);
  }
}

void SdlWindow::wait_ms(int ms) {
  if (!window_ || ms <= 0) return;
  std::uint64_t deadline = SDL_GetTicks64() + std::uint64_t(ms);
  for (std::uint64_t now = SDL_GetTicks64(); now < deadline; now = SDL_GetTicks64()) {
    present_if_due();
    SDL_Event event;
    std::uint64_t until = std::min(deadline, next_frame_);
    int left = until > now ? int(until - now) : 1;
    if (SDL_WaitEventTimeout(&event, left)) handle(event);
  }
}

}  // namespace pwmscope
