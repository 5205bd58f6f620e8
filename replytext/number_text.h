// Numbers as text, the way printf's "%.Nf" and "%d" write them, byte for byte, but without
// printf's format parsing and locale handling: the reports print about a hundred numbers per
// request, and printf was the larger part of that work. Up to nine decimals of a value below
// about 10^10 are computed exactly from the double's bits (rounding half to even, as printf
// does), and so are larger values, at a bounded cost (stray bytes read as a double give 300
// digits, which printf writes at ten times the cost of a whole realistic reply); only more
// than nine decimals are left to printf itself.
#pragma once

#include <cstddef>

namespace cgi {

// Writes value with the given count of decimals ("%.*f") into text, cut to capacity - 1
// characters and terminated like snprintf; returns the length the whole text would have.
// NaN and infinity come out as printf writes them ("nan", "-nan", "inf", "-inf").
std::size_t FixedText(double value, int decimals, char *text, std::size_t capacity);

// Writes value as "%d" does; the same cutting and result as FixedText.
std::size_t IntegerText(int value, char *text, std::size_t capacity);

}  // namespace cgi
