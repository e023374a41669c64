#pragma once
// The interpreters the hosts keep and the Squirrel registration helpers,
// exported by name for plug-ins; the declarations are the plug-in header's.
#include "../../include/velmora/plugin.h"
