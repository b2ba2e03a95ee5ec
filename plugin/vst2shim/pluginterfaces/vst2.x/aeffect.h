#pragma once
#include "../vst2compat.h"
