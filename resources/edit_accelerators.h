// The accelerator table of both programs: the standard edit shortcuts. Neither window handles
// their commands, so they are accepted by the frame and change nothing.
#pragma once

#include "platform/window/resources.h"

enum : int {
  IdEditCopy = 24320,
  IdEditPaste = 24321,
  IdEditCut = 24322,
  IdEditUndo = 24323,
};

AcceleratorTable editAccelerators();
