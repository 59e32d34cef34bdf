#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// The C library's formatted input, reduced to what version and date texts need:
// "%d" conversions, white space (matching any run of blanks, also none) and literal
// characters. Numbers beyond 32 bits wrap instead of being undefined, and nothing is
// read past the end of the text.

// One "%d" at pos: blanks skipped, optional sign, at least one digit. On success pos
// stands after the last digit.
bool ScanInt(std::string_view text, std::size_t& pos, std::int32_t& value);

// Reads text by pattern into values (at most maxValues of them) and returns how many
// conversions succeeded before the first mismatch.
int ScanFormat(std::string_view text, std::string_view pattern, std::int32_t* values,
               int maxValues);
