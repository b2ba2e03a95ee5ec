#include "editor/pkcomponente.h"

pkComponentE::~pkComponentE() = default;
