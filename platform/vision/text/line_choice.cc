#include "platform/vision/text/line_choice.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "platform/edit_distance.h"
#include "platform/vision/text/line_scripts.h"

namespace platform::vision {
namespace {

// The characters of `text` (UTF-8), each as its own string; bytes that are not UTF-8 stay alone.
std::vector<std::string> characters(std::string_view text) {
  std::vector<std::string> out;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  for (utf8proc_ssize_t i = 0; i < size;) {
    utf8proc_int32_t codepoint = 0;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + i, size - i, &codepoint);
    if (length <= 0) length = 1;
    out.emplace_back(text.substr(static_cast<size_t>(i), static_cast<size_t>(length)));
    i += length;
  }
  return out;
}

bool isLatinLetter(const std::string& character) {
  if (character.size() == 1) return std::isalpha(static_cast<unsigned char>(character[0])) != 0;
  utf8proc_int32_t codepoint = 0;
  utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(character.data()),
                   static_cast<utf8proc_ssize_t>(character.size()), &codepoint);
  // Latin-1 Supplement, Latin Extended-A and -B: the accented letters of European languages.
  return codepoint >= 0xC0 && codepoint < 0x250 && codepoint != 0xD7 && codepoint != 0xF7;
}

bool isLetter(const std::string& character) {
  utf8proc_int32_t codepoint = 0;
  utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(character.data()),
                   static_cast<utf8proc_ssize_t>(character.size()), &codepoint);
  const utf8proc_category_t category = utf8proc_category(codepoint);
  return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
}

}  // namespace

std::string foldedForComparison(std::string_view text) {
  utf8proc_uint8_t* folded = nullptr;
  const std::string copy(text);
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(copy.c_str()), 0, &folded,
                   static_cast<utf8proc_option_t>(UTF8PROC_NULLTERM | UTF8PROC_STABLE | UTF8PROC_DECOMPOSE |
                                                  UTF8PROC_STRIPMARK | UTF8PROC_CASEFOLD));
  if (length < 0) return copy;  // not UTF-8: compared as it is
  std::string out(reinterpret_cast<const char*>(folded), static_cast<size_t>(length));
  std::free(folded);
  return out;
}

// `line` without what Tesseract makes of the edges of a cut-out line: white space, and bars and
// strokes standing alone at either end ("| AT ALL TIMES |").
std::string withoutEdgeMarks(std::string line) {
  constexpr std::string_view kSpace = " \t\r\n";
  constexpr std::string_view kMarks = "|_;:,.'\"`~-";
  auto trim = [&] {
    const size_t first = line.find_first_not_of(kSpace);
    if (first == std::string::npos) return std::string();
    return line.substr(first, line.find_last_not_of(kSpace) - first + 1);
  };
  line = trim();
  // A leading word of marks alone ("| ", "; "), and a trailing one (" |"); a full stop ending the
  // line stays.
  const size_t firstSpace = line.find(' ');
  if (firstSpace != std::string::npos && line.substr(0, firstSpace).find_first_not_of(kMarks) == std::string::npos) {
    line = line.substr(firstSpace + 1);
  }
  const size_t lastSpace = line.rfind(' ');
  if (lastSpace != std::string::npos) {
    const std::string last = line.substr(lastSpace + 1);
    if (last.find_first_not_of(kMarks) == std::string::npos && last != "." && last != "...") line.erase(lastSpace);
  }
  if (!line.empty() && (line.front() == '|' || line.front() == '_')) line.erase(0, 1);
  if (!line.empty() && (line.back() == '|' || line.back() == '_')) line.pop_back();
  return trim();
}

bool inLatinLetters(std::string_view text) {
  size_t letters = 0, latin = 0;
  for (const std::string& character : characters(text)) {
    if (!isLetter(character)) continue;
    ++letters;
    if (isLatinLetter(character)) ++latin;
  }
  return letters > 0 && latin == letters;
}

std::vector<size_t> linesWorthReadingAgain(const std::vector<LineReading>& lines) {
  std::vector<size_t> chosen;
  std::optional<size_t> mostDoubtful;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!inLatinLetters(lines[i].text)) continue;
    if (lines[i].confidence < kDoubtfulLine) {
      chosen.push_back(i);
    } else if (lines[i].leastConfidence < kDoubtfulCharacter &&
               (!mostDoubtful || lines[i].leastConfidence < lines[*mostDoubtful].leastConfidence)) {
      mostDoubtful = i;
    }
  }
  if (mostDoubtful) chosen.insert(std::upper_bound(chosen.begin(), chosen.end(), *mostDoubtful), *mostDoubtful);
  return chosen;
}

size_t accentedLetters(std::string_view text) {
  const std::vector<std::string> all = characters(text);
  return static_cast<size_t>(
      std::count_if(all.begin(), all.end(), [](const std::string& c) { return c.size() > 1 && isLatinLetter(c); }));
}

bool addsAccents(const LineReading& first, const LineReading& second) {
  return accentedLetters(second.text) > accentedLetters(first.text);
}

bool writesBeyond(const LineReading& reading, const Alphabet& alphabet) {
  const std::vector<std::string> all = characters(reading.text);
  return std::any_of(all.begin(), all.end(), [&](const std::string& c) { return c != " " && !alphabet.writes(c); });
}

namespace {

size_t spaces(std::string_view text) { return static_cast<size_t>(std::count(text.begin(), text.end(), ' ')); }

bool sameLettersApartFromSpaces(std::string_view first, std::string_view second) {
  std::string a = foldedForComparison(first), b = foldedForComparison(second);
  std::erase(a, ' ');
  std::erase(b, ' ');
  return a == b;
}

bool fewEdits(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  const size_t longer = std::max<size_t>(1, std::max(a.size(), b.size()));
  return static_cast<double>(platform::editDistance(a, b)) / static_cast<double>(longer) <= kMostDifference;
}

// The words of `characters` (split at spaces).
std::vector<std::vector<std::string>> wordsOf(const std::vector<std::string>& characters) {
  std::vector<std::vector<std::string>> words(1);
  for (const std::string& c : characters) {
    if (c != " ") {
      words.back().push_back(c);
    } else if (!words.back().empty()) {
      words.emplace_back();
    }
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

// Nearly the same line, and, where both have as many words, nearly the same word at each place:
// a long line hides a whole word read as another ("unambiguously" as "jigugusİy") under its
// share of differences. A word of three letters or fewer may differ in one, and the second may
// add letters the first left out ("mon" for "lemon": the recogniser drops letters of small print).
// `isWord`, when given, lets a word of `second` differ more where it is a word of the language
// and the word of `first` at its place is none.
bool nearlyTheSame(const LineReading& first, const LineReading& second, const WordCheck* isWord = nullptr) {
  const std::vector<std::string> a = characters(foldedForComparison(first.text));
  const std::vector<std::string> b = characters(foldedForComparison(second.text));
  if (!fewEdits(a, b)) return false;
  const std::vector<std::vector<std::string>> wordsA = wordsOf(a), wordsB = wordsOf(b);
  if (wordsA.size() != wordsB.size()) return true;
  const std::vector<std::string> writtenA = wordsAtSpaces(first.text), writtenB = wordsAtSpaces(second.text);
  const bool written = isWord && writtenA.size() == wordsA.size() && writtenB.size() == wordsB.size();
  for (size_t i = 0; i < wordsA.size(); ++i) {
    const size_t edits = platform::editDistance(wordsA[i], wordsB[i]);
    const bool onlyAdded = wordsB[i].size() >= wordsA[i].size() && edits == wordsB[i].size() - wordsA[i].size();
    const bool short_ = std::max(wordsA[i].size(), wordsB[i].size()) <= 3;
    if (onlyAdded || !(short_ ? edits > 1 : !fewEdits(wordsA[i], wordsB[i]))) continue;
    if (written && (*isWord)(writtenB[i]) && !(*isWord)(writtenA[i])) continue;
    return false;
  }
  return true;
}

}  // namespace

bool prefersLanguageReading(const LineReading& current, const LineReading& language, const WordCheck& isWord) {
  if (language.text.empty() || language.confidence < kTrustedSecondReading) return false;
  if (language.confidence + kMuchSurer < current.confidence) return false;
  if (nearlyTheSame(current, language)) return true;
  return language.confidence > current.confidence && nearlyTheSame(current, language, &isWord);
}

bool prefersSecondReading(const LineReading& first, const LineReading& second, const Alphabet& alphabet) {
  if (second.confidence < kTrustedSecondReading) return false;
  const std::vector<std::string> secondCharacters = characters(second.text);
  const bool writesMore = std::any_of(secondCharacters.begin(), secondCharacters.end(),
                                      [&](const std::string& c) { return c != " " && !alphabet.writes(c); });
  // Without letters beyond the recogniser's alphabet, Tesseract must be much surer than it, or
  // the recogniser unsure of the line as a whole (it drops letters of small print), or write
  // accents the recogniser read without (ü read as i, ó as o) while about as sure.
  const bool surer = second.confidence >= first.confidence + kMuchSurer || first.confidence < kDoubtfulLine;
  const bool accents = addsAccents(first, second) && second.confidence + kMuchSurer >= first.confidence;
  if (writesMore || surer || accents) return nearlyTheSame(first, second);
  // The same letters with word breaks the recogniser missed ("Reserveaupersonnel").
  return sameLettersApartFromSpaces(first.text, second.text) && spaces(second.text) > spaces(first.text);
}

bool correctsUnknownWords(const LineReading& first, const LineReading& second, const WordCheck& isWord) {
  if (second.confidence < kTrustedSecondReading) return false;
  const std::vector<std::string> a = wordsAtSpaces(first.text), b = wordsAtSpaces(second.text);
  if (a.size() != b.size()) return false;
  bool corrected = false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (!isWord(b[i]) || isWord(a[i])) return false;
    corrected = true;
  }
  return corrected;
}

bool addsOnlyKana(std::string_view han, std::string_view japanese) {
  size_t matched = 0, kana = 0;
  std::vector<char32_t> wanted;
  for (char32_t c : codePoints(han)) {
    if (c != U' ') wanted.push_back(c);
  }
  for (char32_t c : codePoints(japanese)) {
    if (c == U' ') continue;
    if (matched < wanted.size() && c == wanted[matched]) {
      ++matched;
    } else if (scriptOfCharacter(c) == TextScript::japanese) {
      ++kana;
    } else {
      return false;
    }
  }
  return !wanted.empty() && matched == wanted.size() && kana > 0;
}

}  // namespace platform::vision
