// English words as a speller knows them, from the system's word lists (Debian's wamerican and
// wbritish, /usr/share/dict). Tesseract's English list was gathered from the web and holds common
// misreadings too ("retum", "tbe"); these lists hold only real words and their inflections, so
// they can tell a misread word from a rare one. Loaded on first use and kept for the process;
// safe from any thread.
#pragma once

#include <string_view>

namespace platform::vision {

// Whether a word list was found (nothing is read when neither file is installed).
bool haveEnglishWords();

// Whether `word` (one word, the punctuation around it off) is in the lists, as written or in
// lower case.
bool isEnglishWord(std::string_view word);

}  // namespace platform::vision
