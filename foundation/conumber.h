// Numbers as text the C-locale way, whatever locale the process runs in: the one rule for
// the saved state, the host's parameter text and the editor's fields.
#pragma once

#include <string>
#include <string_view>

// The number at the start of text as atof reads it in the C locale: leading white space, one
// optional sign, then the longest number. 0 when there is none, and for anything that is not
// a finite double (nan, inf, 1e999).
double coreadnumber(std::string_view text);

// value in fixed notation with three decimals ("0.050", "-3.250").
std::string cofixed3(double value);
