#include "resources/edit_accelerators.h"

AcceleratorTable editAccelerators() {
  AcceleratorTable table;
  table.entries = {
      {'C', true, false, IdEditCopy},
      {'V', true, false, IdEditPaste},
      {'X', true, false, IdEditCut},
      {'Z', true, false, IdEditUndo},
  };
  return table;
}
