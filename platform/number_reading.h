// Reading numbers from command-line text, whatever the process's locale. Safe from any thread.
#pragma once

#include <optional>
#include <string_view>

namespace platform {

// Reads the whole of `text` as a 64-bit float by the rules of strtod in the "C" locale: decimal,
// hexadecimal (0x..p..), inf, infinity and nan, letters in any case, an optional sign. Gives nothing
// when the text is empty, starts with white space, has anything left after the number, or lies out
// of the type's range (an overflow, or an underflow to zero). Tiny values that still read as a
// non-zero subnormal are numbers.
std::optional<double> readDouble(std::string_view text);

}  // namespace platform
