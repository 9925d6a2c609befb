// How far recognised text is from the text known to be in a picture.
#pragma once

#include <string>
#include <string_view>

namespace tools {

// `text` with every run of white space (spaces, tabs, line ends) made one space and none at
// either end, so that line breaks and spacing do not count as errors.
std::string normalisedSpacing(std::string_view text);

// The character error rate of `recognised` against `known`: the edit distance (insertions,
// deletions and substitutions of Unicode characters) between the two, each with normalised
// spacing, divided by the number of characters of the known text. 0 is perfect; text that
// was not there counts too, so the rate can pass 1. A known text of no characters gives 0 for
// an empty reading and 1 otherwise.
double characterErrorRate(std::string_view recognised, std::string_view known);

}  // namespace tools
