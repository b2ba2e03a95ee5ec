#include "editor/pcontroller.h"

// The holder deletes every control with it; the model is the processor's.
pcontroller::~pcontroller() = default;
