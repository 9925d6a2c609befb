#include "platform/vision/text/line_scripts.h"

#include <utf8proc.h>

#include <algorithm>
#include <string>

namespace platform::vision {

namespace {

bool isUpper(char32_t c) { return utf8proc_category(static_cast<utf8proc_int32_t>(c)) == UTF8PROC_CATEGORY_LU; }
bool isLower(char32_t c) { return utf8proc_category(static_cast<utf8proc_int32_t>(c)) == UTF8PROC_CATEGORY_LL; }
bool isLetter(char32_t c) {
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
  return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
}
bool isDigit(char32_t c) { return utf8proc_category(static_cast<utf8proc_int32_t>(c)) == UTF8PROC_CATEGORY_ND; }

bool isCjk(char32_t c) {
  const std::optional<TextScript> script = scriptOfCharacter(c);
  return script == TextScript::han || script == TextScript::japanese;
}

// `digits`: whether digits between letters count (the recogniser reads б as 6; Tesseract reads
// і as 1 now and then).
bool looksLikeAnotherAlphabet(const std::vector<char32_t>& word, bool digits) {
  bool latin = false, other = false;
  size_t cjk = 0;
  for (char32_t c : word) {
    if (!isLetter(c)) continue;
    (scriptOfCharacter(c) == TextScript::latin ? latin : other) = true;
    cjk += isCjk(c) ? 1 : 0;
  }
  if (latin && other && cjk < 2) return true;
  if (latin && cjk >= 2) {
    // Chinese and English run together where the recogniser drops the space between them
    // ("洗手间Toilet"); a lone Latin letter among Han characters is a kana it lacks ("切符壳b場").
    for (size_t i = 0; i < word.size(); ++i) {
      if (scriptOfCharacter(word[i]) != TextScript::latin) continue;
      const bool before = i > 0 && scriptOfCharacter(word[i - 1]) == TextScript::latin;
      const bool after = i + 1 < word.size() && scriptOfCharacter(word[i + 1]) == TextScript::latin;
      if (!before && !after) return true;
    }
    return false;
  }
  for (size_t i = 1; i < word.size(); ++i) {
    if (isLower(word[i - 1]) && isUpper(word[i])) return true;
    if (digits && i + 1 < word.size() && isDigit(word[i]) && isLetter(word[i - 1]) && isLetter(word[i + 1])) return true;
  }
  return false;
}

// Every script, the likeliest first given what the first reading holds.
std::vector<TextScript> likelyScripts(const FirstReading& reading, const ScriptCounts& counts) {
  using enum TextScript;
  std::vector<TextScript> order;
  if (counts[japanese] > 0) {
    order = {japanese, han, hangul};
  } else if (reading.confidence >= kPlainLatinReading &&
             (counts[han] >= 2 || (counts[han] > 0 && 2 * counts[han] >= counts.total()))) {
    // Kana the recogniser lacks come out as Latin letters or marks among the Han characters.
    order = lookalikeWords(reading.text) > 0 ? std::vector{japanese, han, hangul} : std::vector{han, japanese, hangul};
  } else if (counts[hangul] > 0) {
    order = {hangul, japanese};
  } else if (counts[latin] > 0 &&
             (lookalikeWords(reading.text) > 0 ||
              (reading.longestGap <= kLongestReadGap && reading.confidence >= kPlainLatinReading &&
               reading.leastWordConfidence >= kSureFirstWord))) {
    // Read as lookalikes (the letters that look like none perhaps left out), or as Latin
    // throughout: Latin itself, or an alphabet that looks like it.
    // Thai comes out as such lookalikes too ("vDDn" for "ทางออก").
    order = counts[greek] > counts[cyrillic] ? std::vector{latin, greek, cyrillic, thai}
                                             : std::vector{latin, cyrillic, greek, thai};
  } else if (counts[latin] > 0 && counts.total() == counts[latin] && reading.confidence >= kPlainLatinReading &&
             (reading.longestGap <= kLongestReadGap || reading.leastWordConfidence >= kSureFirstReading)) {
    // Latin letters only, read whole and surely but for a word: small print ("Ingredients: water,
    // sugar, mon juce"); or every word read surely with a wide stretch between (a timetable's
    // columns, or a word in letters the recogniser lacks): for the Latin reader first. Letters the
    // recogniser lacks read this surely as Latin leave lookalike words (above) or stretches
    // unread, which the Latin reader is not sure of; then the others read the line.
    order = {latin, hangul, arabic, thai};
  } else {
    // Read in part, or not at all: letters the recogniser lacks, Latin words among them or not.
    order = {hangul, arabic, thai, japanese};
  }
  for (TextScript script : kTextScripts) {
    if (std::find(order.begin(), order.end(), script) == order.end()) order.push_back(script);
  }
  return order;
}

// Words that look like another alphabet read as Latin.
size_t countWords(const std::vector<char32_t>& characters, bool digits) {
  size_t count = 0;
  std::vector<char32_t> word;
  for (size_t i = 0; i <= characters.size(); ++i) {
    if (i < characters.size() && characters[i] != U' ') {
      word.push_back(characters[i]);
      continue;
    }
    if (looksLikeAnotherAlphabet(word, digits)) ++count;
    word.clear();
  }
  return count;
}

std::u32string lowerCase(std::u32string word) {
  for (char32_t& c : word) c = static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
  return word;
}

// Whether one word (no spaces) is a plain Latin word: three letters or more, no lookalike signs;
// its letters, lower case, when it is.
std::optional<std::u32string> plainWord(std::string_view text) {
  const std::vector<char32_t> word = codePoints(text);
  std::u32string letters;
  for (char32_t c : word) {
    if (isLetter(c)) letters.push_back(c);
  }
  const bool latin = std::all_of(letters.begin(), letters.end(),
                                 [](char32_t c) { return scriptOfCharacter(c) == TextScript::latin; });
  if (letters.size() < 3 || !latin || looksLikeAnotherAlphabet(word, true)) return std::nullopt;
  return lowerCase(letters);
}

// The words of the recogniser's reading that are plain Latin words read surely, at their places
// (nothing where a word is not one).
std::vector<std::optional<std::u32string>> sureEnglish(const RecognisedWords& first) {
  std::vector<std::optional<std::u32string>> out;
  const std::vector<std::string> words = wordsAtSpaces(first.text);
  for (size_t i = 0; i < words.size(); ++i) {
    const bool sure = i < first.confidences.size() && first.confidences[i] >= kSureEnglishWord;
    out.push_back(sure ? plainWord(words[i]) : std::nullopt);
  }
  return out;
}

// The Latin letter a lower-case Cyrillic or Greek letter looks like, in place; false when it
// looks like none (Latin letters stay themselves).
bool toLatinLookalike(char32_t& c) {
  static constexpr std::u32string_view kOthers = U"авекмнорстухіјѕαβεικνορτυχ";
  static constexpr std::u32string_view kLatin = U"abekmhopctyxijsabeikvoptux";
  static_assert(kOthers.size() == kLatin.size());
  if (scriptOfCharacter(c) == TextScript::latin) return true;
  const size_t at = kOthers.find(c);
  if (at == std::u32string_view::npos) return false;
  c = kLatin[at];
  return true;
}

}  // namespace

bool unstressedGreekWord(std::string_view word) {
  static constexpr std::u32string_view kVowels = U"αεηιουω";
  static constexpr std::u32string_view kStressed = U"άέήίόύώΐΰΆΈΉΊΌΎΏ";
  auto vowel = [](char32_t c) { return kVowels.find(c) != std::u32string_view::npos; };
  // Vowel pairs that sound as one ("και", "του" are words of one syllable, unmarked).
  auto onePair = [](char32_t a, char32_t b) {
    return (b == U'ι' && (a == U'α' || a == U'ε' || a == U'ο' || a == U'υ')) ||
           (b == U'υ' && (a == U'α' || a == U'ε' || a == U'ο' || a == U'η'));
  };
  const std::vector<char32_t> letters = codePoints(word);
  size_t syllables = 0;
  for (size_t i = 0; i < letters.size(); ++i) {
    if (kStressed.find(letters[i]) != std::u32string_view::npos) return false;
    if (!vowel(letters[i])) continue;
    ++syllables;
    if (i + 1 < letters.size() && onePair(letters[i], letters[i + 1])) ++i;
  }
  return syllables >= 2;
}

std::vector<std::string> wordsAtSpaces(std::string_view text) {
  std::vector<std::string> words;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

size_t lookalikeWords(std::string_view text) { return countWords(codePoints(text), true); }

bool showsEnglishWords(const RecognisedWords& first) {
  const std::vector<std::optional<std::u32string>> words = sureEnglish(first);
  return std::any_of(words.begin(), words.end(), [](const auto& word) { return word.has_value(); });
}

size_t sharedPlainWords(const RecognisedWords& first, std::string_view reading) {
  std::vector<std::u32string> words;
  for (const std::string& word : wordsAtSpaces(reading)) {
    std::u32string letters;
    for (char32_t c : codePoints(word)) {
      if (isLetter(c)) letters.push_back(c);
    }
    words.push_back(lowerCase(letters));
    // A Cyrillic or Greek word in letters that all look like Latin ones is the word the
    // recogniser read in those Latin letters ("Каса" for "Kaca"), not English the reading lost.
    std::u32string lookalike;
    for (char32_t c : words.back()) {
      if (!toLatinLookalike(c)) break;
      lookalike.push_back(c);
    }
    if (lookalike.size() == words.back().size() && lookalike != words.back()) words.push_back(std::move(lookalike));
  }
  size_t shared = 0;
  for (const std::optional<std::u32string>& wanted : sureEnglish(first)) {
    if (wanted && std::find(words.begin(), words.end(), *wanted) != words.end()) ++shared;
  }
  return shared;
}

std::string withRecognisedEnglish(const std::string& reading, const RecognisedWords& first,
                                  const std::function<bool(const std::string&)>& known,
                                  const std::function<bool(const std::string&)>& latin) {
  std::vector<std::string> words = wordsAtSpaces(reading);
  const std::vector<std::string> recognised = wordsAtSpaces(first.text);
  const std::vector<std::optional<std::u32string>> english = sureEnglish(first);
  if (words.size() != recognised.size()) return reading;
  bool changed = false;
  for (size_t i = 0; i < words.size(); ++i) {
    if (!english[i] || words[i] == recognised[i] || known(words[i]) || !latin(recognised[i])) continue;
    words[i] = recognised[i];
    changed = true;
  }
  if (!changed) return reading;
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

std::vector<size_t> foreignWords(const RecognisedWords& first, const std::function<bool(const std::string&)>& known) {
  std::vector<size_t> out;
  const std::vector<std::string> words = wordsAtSpaces(first.text);
  auto othersSure = [&](size_t place) {
    for (size_t i = 0; i < words.size() && i < first.confidences.size(); ++i) {
      if (i != place && first.confidences[i] < kSureEnglishWord) return false;
    }
    return true;
  };
  for (size_t i = 0; i < words.size() && i < first.confidences.size(); ++i) {
    const float confidence = first.confidences[i];
    if (confidence >= kSureEnglishWord) continue;
    std::string letters;
    size_t count = 0;
    bool latin = true;
    for (char32_t c : codePoints(words[i])) {
      if (!isLetter(c)) continue;
      ++count;
      latin = latin && scriptOfCharacter(c) == TextScript::latin;
      utf8proc_uint8_t bytes[4];
      letters.append(reinterpret_cast<const char*>(bytes),
                     static_cast<size_t>(utf8proc_encode_char(static_cast<utf8proc_int32_t>(c), bytes)));
    }
    if (count < 2 || !latin) continue;
    if ((confidence < kForeignWord && count <= kShortWord && othersSure(i)) ||
        (!known(letters) && !known(lowerCased(letters)))) {
      out.push_back(i);
    }
  }
  return out;
}

size_t sureEnglishWords(const RecognisedWords& first) {
  const std::vector<std::optional<std::u32string>> words = sureEnglish(first);
  return static_cast<size_t>(std::count_if(words.begin(), words.end(), [](const auto& word) { return word.has_value(); }));
}

bool plausibleReading(std::string_view text) {
  size_t letters = 0, others = 0;
  std::vector<char32_t> characters = codePoints(text);
  for (size_t i = 0; i < characters.size(); ++i) {
    const char32_t c = characters[i];
    if (c == U' ') continue;
    (isLetter(c) || utf8proc_category(static_cast<utf8proc_int32_t>(c)) == UTF8PROC_CATEGORY_MN ? letters : others) += 1;
    // A word's last letter read as its capital is a reader's slip, not a mix of alphabets
    // ("працюЕ" for "працює").
    const bool last = i + 1 == characters.size() || !isLetter(characters[i + 1]);
    if (last && i > 0 && isUpper(c) && isLower(characters[i - 1])) {
      characters[i] = static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
    }
  }
  return letters > 0 && static_cast<double>(letters) >= kLeastLetterShare * static_cast<double>(letters + others) &&
         countWords(characters, false) == 0;
}

bool cyrillicLookalikeWord(std::string_view word) {
  // А В Е К М Н О Р С Т Х а е к о р с у х, и п т read as u n m, т and г as r, б з read as 6 3.
  static constexpr std::u32string_view kLookalikes = U"ABEKMHOPCTXaekopcyxunmr63";
  const std::vector<char32_t> characters = codePoints(word);
  size_t letters = 0;
  for (char32_t c : characters) {
    if (kLookalikes.find(c) == std::u32string_view::npos) return false;
    letters += isLetter(c) ? 1 : 0;
  }
  return letters >= 3;
}

std::string lowerCased(std::string_view word) {
  std::string out;
  for (char32_t c : codePoints(word)) {
    utf8proc_uint8_t bytes[4];
    const utf8proc_ssize_t n =
        utf8proc_encode_char(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)), bytes);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
  }
  return out;
}

ScriptGuess guessScript(const FirstReading& reading, const std::vector<TextScript>& seen) {
  const ScriptCounts counts = countScripts(reading.text);
  const std::optional<TextScript> script = scriptOfLine(reading.text);
  if (reading.detectorScore < kLikelyTextLine) return ScriptGuess{script.value_or(TextScript::latin), {}};
  const bool readWhole = reading.longestGap <= kLongestReadGap && lookalikeWords(reading.text) == 0 &&
                         reading.leastWordConfidence >= kSureFirstWord;
  if (readWhole && reading.confidence >= kSureFirstReading &&
      (script == TextScript::han || script == TextScript::latin)) {
    return ScriptGuess{script, {}};
  }
  // Digits and marks alone ("3.55"), read surely and whole: every script writes them so, and the
  // Latin reader is the one a picture of such lines has started anyway.
  if (readWhole && reading.confidence >= kSureFirstReading && !script && counts.total() == 0 &&
      counts.otherLetters == 0 && !reading.text.empty()) {
    return ScriptGuess{TextScript::latin, {}};
  }
  std::vector<TextScript> candidates = seen;
  // Doubtful Latin letters throughout, none of them looking like another alphabet's: small print
  // and worn signs, for the Latin reader alone, unless the recogniser doubts them so much that
  // they may be letters it lacks altogether (Thai comes out as "knuauuks").
  const bool plainLatin = readWhole && script == TextScript::latin &&
                          counts.total() == counts[TextScript::latin] && reading.confidence >= kPlainLatinReading;
  const std::vector<TextScript> likely = plainLatin ? std::vector{TextScript::latin} : likelyScripts(reading, counts);
  for (TextScript next : likely) {
    if (std::find(candidates.begin(), candidates.end(), next) == candidates.end()) candidates.push_back(next);
  }
  return ScriptGuess{std::nullopt, candidates};
}

}  // namespace platform::vision
