#pragma once
// The engine's only state: its mode and whether a good Init has run.

namespace veltrum {

// -1 before the first good Init.
int EngineMode();
bool EngineInitialised();

// Init's whole effect: a mode above 2 (or negative) clears the flag and keeps the old mode.
int InitEngine(int mode);

}  // namespace veltrum
