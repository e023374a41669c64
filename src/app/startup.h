#pragma once

namespace velmora::app {

// Brings up the script machinery, runs the start script and releases
// everything again. 1 after a run, 0 when a start-up step failed.
int runInterpreter();

}  // namespace velmora::app

