#include "run/run_state.h"

RunSettings settings;
RunState run;
