// A line's text from the words a reader found in it, each with where it stands in the picture:
// the order a reader of the line's script expects, and spaces only where the picture has them.
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <vector>

namespace platform::vision {

struct PlacedWord {
  std::string text;  // UTF-8, in the word's own logical order
  int left = 0;      // pixels of the line picture
  int right = 0;
  int height = 0;
};

// Between two characters of scripts written without spaces (Han, kana, Thai), a space stands
// only where the words are at least this share of the tallest word's height apart, about the
// width of a full-width space: readers split such text into words of their own, and the word
// boxes of Tesseract's line model are only as exact as its steps (a quarter of the height and
// more).
inline constexpr double kSpaceGap = 0.8;

// The words joined into one line. A line of right-to-left letters (Arabic) reads from its right
// end: its words come right to left, except that a run of left-to-right words inside it
// (English, numbers) keeps its own order, as the Unicode bidirectional algorithm lays such text
// out. Direction marks (U+200E, U+200F, U+061C, U+202A to U+202E) are dropped: they are not in
// the picture.
std::string lineFromWords(std::vector<PlacedWord> words);

}  // namespace platform::vision
