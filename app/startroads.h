#pragma once

// The windows of the program's start roads (K::start): the login window,
// and the design-split window of a program handed over by another. The
// foundation does not know the windows; the top of the program registers
// them before it starts.
namespace StartRoads {

void install();

} // namespace StartRoads
