#pragma once
// For the few tests that need a process in which the engine was never initialised: when earlier
// tests of a whole-binary run have initialised it, the test runs again alone in a new process.

namespace fvtest {

// Runs the current test by itself in a new instance of this program; true when it passed.
bool PassesInFreshProcess();

}  // namespace fvtest
