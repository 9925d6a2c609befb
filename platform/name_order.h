// The order in which the programs take folder entries. Pure functions: safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The bytes by which a name sorts: the name in canonical composed form (NFC) when it is valid
// UTF-8, its own bytes otherwise. Comparing these keys byte by byte compares names by Unicode
// scalar value, and stays a total order for names that are not text.
std::string nameOrderKey(std::string_view name);

// The positions of `names` in ascending name order; names that compare equal keep their order.
std::vector<size_t> nameOrder(const std::vector<std::string>& names);

}  // namespace platform
