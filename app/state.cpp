#include "app/state.h"

Settings settings;
RunState state;
