// The desktop window of the plotter, made with SDL2: it shows the picture and hands over
// the keys typed into it. All drawing happens in the picture; this layer only copies the
// columns that changed to the screen, at most once per refresh of the display.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "pwmscope/picture.h"
#include "pwmscope/text_screen.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;

namespace pwmscope {

class SdlWindow : public WindowInput {
 public:
  explicit SdlWindow(Picture& picture) : picture_(picture) {}
  ~SdlWindow() override;
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  /// Sets the window's title; before open() it is kept for the window to come.
  void set_title(std::string_view title);

  /// Opens the 1280 x 1024 window showing the picture. Returns false, with the reason in
  /// `error`, when no window can be had (no display, for one).
  bool open(std::string& error);

  std::string key_poll() override;
  std::string key_wait() override;
  bool closed() const override { return closed_; }
  void wait_ms(int ms) override;

  /// Brings the screen up to date with the picture now.
  void present();

 private:
  void take_events();
  void handle(const SDL_Event& event);
  void push_key(std::string key);
  void present_if_due();
  void show_whole_picture();

  Picture& picture_;  // read, and its record of changed columns taken
  std::string title_;
  SDL_Window* window_ = nullptr;
  SDL_Surface* indexed_ = nullptr;  // the picture in the window's layout, 8 bits a pixel
  bool sdl_started_ = false;
  bool closed_ = false;
  std::deque<std::string> keys_;
  std::uint64_t frame_ms_ = 16;
  std::uint64_t next_frame_ = 0;
};

}  // namespace pwmscope
