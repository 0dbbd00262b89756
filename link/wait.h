// A pause that keeps the event loop running, so ticks, socket events and clicks are handled while a
// handler waits. Re-entrant; uses no CPU while idle.
#pragma once

namespace zeze {

// Returns after at least `ms` milliseconds, or earlier only when the application is quitting; returns
// false in that case so the caller can stop instead of carrying on with a closing window.
bool Wait(int ms);

}  // namespace zeze
