// text_error_rate KNOWN_TEXT_FILE < RECOGNISED_TEXT
//
// Prints the character error rate of the text on standard input against the known text in the
// file (see character_error_rate.h): 0 is a perfect reading.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "tools/character_error_rate.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: text_error_rate KNOWN_TEXT_FILE < RECOGNISED_TEXT\n", stderr);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "text_error_rate: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string known((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string recognised((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  std::printf("%.4f\n", tools::characterErrorRate(recognised, known));
  return 0;
}
