#pragma once

namespace velmora::app {

// Connects the engine: binds every command family and installs every hook a
// lower layer calls upward, in one place. Safe to call again (test fixtures
// call it for each test and may then replace a hook they fake).
void wireEngine();

}  // namespace velmora::app
