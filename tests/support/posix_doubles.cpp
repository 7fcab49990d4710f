// The doubles of the host tests and fuzz targets: the posix platform's
// scripted answers and the scripted prompts.
#include "tests/support/posix_control.h"
#include "tests/support/fresh_state.h"
#include "tests/support/scripted_ui.h"

void ResetTestDoubles() {
  posix::Reset();
  scripted::Reset();
}
