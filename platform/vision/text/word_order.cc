#include "platform/vision/text/word_order.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/vision/text/text_scripts.h"

namespace platform::vision {

namespace {

bool isDirectionMark(char32_t c) { return c == 0x200E || c == 0x200F || c == 0x061C || (c >= 0x202A && c <= 0x202E); }

std::string utf8(const std::vector<char32_t>& characters) {
  std::string out;
  for (char32_t c : characters) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string withoutDirectionMarks(std::string_view text) {
  std::vector<char32_t> kept;
  for (char32_t c : codePoints(text)) {
    if (!isDirectionMark(c) && c != U' ') kept.push_back(c);
  }
  return utf8(kept);
}

bool holdsRightToLeftLetters(std::string_view text) {
  for (char32_t c : codePoints(text)) {
    const std::optional<TextScript> script = scriptOfCharacter(c);
    if (script && rightToLeft(*script)) return true;
  }
  return false;
}

// Whether a space belongs between two words that follow each other in the picture, `gap` pixels
// apart.
bool spaceBetween(const std::string& before, const std::string& after, int gap, int textHeight) {
  const std::vector<char32_t> a = codePoints(before), b = codePoints(after);
  if (a.empty() || b.empty()) return false;
  if (!writtenWithoutSpaces(a.back()) || !writtenWithoutSpaces(b.front())) return true;
  return gap >= kSpaceGap * textHeight;
}

}  // namespace

std::string lineFromWords(std::vector<PlacedWord> words) {
  for (PlacedWord& word : words) word.text = withoutDirectionMarks(word.text);
  std::erase_if(words, [](const PlacedWord& word) { return word.text.empty(); });
  if (words.empty()) return "";
  std::stable_sort(words.begin(), words.end(), [](const PlacedWord& a, const PlacedWord& b) { return a.left < b.left; });
  int textHeight = 0;
  for (const PlacedWord& word : words) textHeight = std::max(textHeight, word.height);

  std::string joined;
  for (const PlacedWord& word : words) joined += word.text;
  if (scriptOfLine(joined) == TextScript::arabic) {
    // Visual runs, right to left; a run is one right-to-left word or consecutive others.
    std::vector<std::vector<PlacedWord>> runs;
    for (const PlacedWord& word : words) {
      const bool rtl = holdsRightToLeftLetters(word.text);
      if (!rtl && !runs.empty() && !holdsRightToLeftLetters(runs.back().back().text)) {
        runs.back().push_back(word);
      } else {
        runs.push_back({word});
      }
    }
    std::reverse(runs.begin(), runs.end());
    std::string text;
    for (const std::vector<PlacedWord>& run : runs) {
      for (const PlacedWord& word : run) text += (text.empty() ? "" : " ") + word.text;
    }
    return text;
  }
  std::string text = words.front().text;
  for (size_t i = 1; i < words.size(); ++i) {
    if (spaceBetween(words[i - 1].text, words[i].text, words[i].left - words[i - 1].right, textHeight)) text += ' ';
    text += words[i].text;
  }
  return text;
}

}  // namespace platform::vision
