#include "platform/vision/text/latin_languages.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/vision/text/text_scripts.h"

namespace platform::vision {

namespace {

char32_t lowered(char32_t c) { return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c))); }

bool isAccentedLatin(char32_t c) { return c >= 0xC0 && scriptOfCharacter(c) == TextScript::latin; }

bool writes(const LatinLanguage& language, char32_t letter) {
  const std::vector<char32_t> accents = codePoints(language.accents);
  return std::find(accents.begin(), accents.end(), letter) != accents.end();
}

bool isVietnamese(const LatinLanguage& language) { return std::string_view(language.model) == "vie"; }

bool onlyVietnameseWrites(char32_t letter) {
  bool vietnamese = false;
  for (const LatinLanguage& language : kLatinLanguages) {
    if (writes(language, letter)) {
      if (!isVietnamese(language)) return false;
      vietnamese = true;
    }
  }
  return vietnamese;  // a letter none of them writes ("ń") says nothing
}

bool isLetter(char32_t c) {
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
  return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
}

std::string lowerCase(std::string_view word) {
  std::string lower;
  for (char32_t c : codePoints(word)) {
    utf8proc_uint8_t bytes[4];
    const utf8proc_ssize_t length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(lowered(c)), bytes);
    lower.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
  }
  return lower;
}

// How many of `words` (lower case) are among the language's own.
int ownWords(const LatinLanguage& language, const std::vector<std::string>& words) {
  int count = 0;
  std::string_view list = language.words;
  for (const std::string& word : words) {
    for (size_t start = 0; start < list.size();) {
      size_t end = list.find(' ', start);
      if (end == std::string_view::npos) end = list.size();
      if (list.substr(start, end - start) == word) {
        ++count;
        break;
      }
      start = end + 1;
    }
  }
  return count;
}

std::vector<std::string> lowerCaseWords(std::string_view text) {
  std::vector<std::string> words;
  for (const std::string& word : wordsForLookUp(text)) words.push_back(lowerCase(word));
  return words;
}

}  // namespace

bool namesAnotherLanguage(std::string_view text) {
  const std::vector<std::string> words = lowerCaseWords(text);
  return std::any_of(std::begin(kLatinLanguages), std::end(kLatinLanguages),
                     [&](const LatinLanguage& language) { return ownWords(language, words) > 0; });
}

std::optional<std::string> likelyLatinLanguage(std::string_view text) {
  // Composed, so that a letter and its accent count as the one letter they make.
  const std::string copy(text);
  std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> composed(
      utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(copy.c_str())), &std::free);
  const std::string_view letters_of =
      composed ? std::string_view(reinterpret_cast<const char*>(composed.get())) : std::string_view(copy);
  std::vector<char32_t> accented;
  size_t letters = 0;
  for (char32_t c : codePoints(letters_of)) {
    if (isLetter(c)) ++letters;
    if (isAccentedLatin(c)) accented.push_back(lowered(c));
  }
  const std::vector<std::string> words = lowerCaseWords(text);
  const bool vietnameseShown =
      std::any_of(accented.begin(), accented.end(), onlyVietnameseWrites) ||
      static_cast<double>(accented.size()) >= kVietnameseAccentShare * static_cast<double>(letters);
  // The letters Vietnamese lacks count as its own misread only while they are the fewer.
  const LatinLanguage& vietnamese =
      *std::find_if(std::begin(kLatinLanguages), std::end(kLatinLanguages), isVietnamese);
  const auto lacking = std::count_if(accented.begin(), accented.end(), [&](char32_t c) { return !writes(vietnamese, c); });
  const bool misreadVietnamese = 2 * static_cast<size_t>(lacking) < accented.size();
  std::optional<std::string> best;
  int bestScore = 0;
  bool shared = false;
  for (const LatinLanguage& language : kLatinLanguages) {
    if (isVietnamese(language) && !vietnameseShown) continue;
    int score = ownWords(language, words);
    // The general Latin model reads Vietnamese's stacked accents it lacks as other languages'
    // ("äð" for "đỗ", "ü" for "ử"): once Vietnamese shows, a few of those count against it no more.
    for (char32_t letter : accented) score += writes(language, letter) ? 1 : isVietnamese(language) && misreadVietnamese ? 0 : -2;
    if (score > bestScore) {
      bestScore = score;
      best = language.model;
      shared = false;
    } else if (score == bestScore && best) {
      shared = true;
    }
  }
  return shared ? std::nullopt : best;
}

std::vector<std::string> wordsForLookUp(std::string_view text) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(start, end - start);
    start = end + 1;
    const std::vector<char32_t> characters = codePoints(word);
    size_t first = 0, last = characters.size();
    while (first < last && !isLetter(characters[first])) ++first;
    while (last > first && !isLetter(characters[last - 1])) --last;
    if (first == last) continue;
    // Back to UTF-8 through the byte offsets of the kept characters.
    size_t from = 0, to = 0, index = 0, at = 0;
    for (char32_t c : characters) {
      const size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
      if (index == first) from = at;
      at += length;
      if (index + 1 == last) to = at;
      ++index;
    }
    words.emplace_back(word.substr(from, to - from));
  }
  return words;
}

}  // namespace platform::vision
