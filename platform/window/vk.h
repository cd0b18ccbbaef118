// Virtual-key codes delivered to EvKeyDown.
#pragma once

enum : unsigned {
  VK_BACK = 0x08,
  VK_RETURN = 0x0D,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,  // Page Up
  VK_NEXT = 0x22,   // Page Down
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_HELP = 0x2F,  // the '?' key: help for the current screen
  // '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A, as their characters.
  VK_NUMPAD0 = 0x60,
  VK_NUMPAD9 = 0x69,
  VK_F1 = 0x70,
  VK_F2,
  VK_F3,
  VK_F4,
  VK_F5,
  VK_F6,
  VK_F7,
  VK_F8,
  VK_F9,
  VK_F10,
  VK_F11,
  VK_F12,
};

// Modifier and button bits: the `modKeys` of the mouse handlers, and the `flags` of EvKeyDown
// (Shift and Ctrl held while the key went down).
enum : unsigned {
  MK_LBUTTON = 0x0001,
  MK_SHIFT = 0x0004,
  MK_CONTROL = 0x0008,
};

// Ctrl+Q: both hosts turn it into a close request of the window, as the window system's close
// button does, so every program quits on it the same way.
constexpr bool isQuitChord(unsigned key, unsigned flags) {
  return key == 'Q' && (flags & MK_CONTROL) != 0;
}
