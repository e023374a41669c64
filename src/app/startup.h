#pragma once

namespace velmora {

// Brings up the script machinery, runs the start script and releases
// everything again. 1 after a run, 0 when a start-up step failed.
int runInterpreter();

}  // namespace velmora

namespace velmora {
// The clock reading taken just before the first script line ran.
unsigned startTime();
}
