// Opening the window as the program starts it, shared by main() and the start-up benchmark.
#pragma once

#include "app/start_args.h"

namespace zeze {

class FrmMain;

// Shows `window`, sizes it to its preferred size within the screen once it has laid itself out,
// connects to the box of the command line, and draws the icon only after the first turn of the event
// loop, so that the icon costs the opening nothing. `args` must outlive the first turns of the loop.
void openWindow(FrmMain& window, const StartArgs& args);

}  // namespace zeze
