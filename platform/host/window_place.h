// Where and how large a program's window was when it last closed, kept per program in the
// user's config folder ($XDG_CONFIG_HOME/pelinor, by default ~/.config/pelinor) and never in
// the data folder: the same database may be opened from several screens.
#pragma once

#include <optional>
#include <string>

struct WindowPlace {
  int x = 0;
  int y = 0;
  int width = 0;   // client area, pixels
  int height = 0;
};

// The file of `program` ("pelinorw.window"), or "" when neither XDG_CONFIG_HOME nor HOME gives a
// folder.
std::string windowPlaceFile(const std::string& program);
// The place saved in `file`; nothing when the file is missing or does not hold four whole
// numbers with sides from 1 to `maxSide` and positions within +-(1 << 20).
std::optional<WindowPlace> readWindowPlace(const std::string& file, int maxSide);
std::optional<WindowPlace> parseWindowPlace(const std::string& text, int maxSide);
// Writes the place through a temporary file renamed over `file`, making the folders first; a
// failure leaves the old file and is otherwise ignored (the window's place is a comfort).
bool writeWindowPlace(const std::string& file, const WindowPlace& place);
