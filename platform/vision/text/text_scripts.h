// The scripts the text readers tell apart, and which script a piece of text is written in. Pure
// functions; safe from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::vision {

// Japanese stands for kana with the Han characters written among them; Han alone is Chinese.
enum class TextScript { latin, han, japanese, hangul, cyrillic, greek, thai, arabic };

inline constexpr std::array kTextScripts = {TextScript::latin,    TextScript::han,   TextScript::japanese,
                                            TextScript::hangul,   TextScript::cyrillic, TextScript::greek,
                                            TextScript::thai,     TextScript::arabic};

std::string_view scriptName(TextScript script);

// The characters of `text` (UTF-8) as code points; a byte that is not UTF-8 becomes U+FFFD.
std::vector<char32_t> codePoints(std::string_view text);

// The script a letter (or a combining mark) belongs to: kana count as Japanese, Han ideographs
// as Han. Nothing for digits, punctuation, spaces and the letters of other scripts.
std::optional<TextScript> scriptOfCharacter(char32_t character);

// How many characters of each script a text holds, and how many letters of scripts no reader
// here covers (Hebrew, Devanagari ...).
struct ScriptCounts {
  std::array<size_t, kTextScripts.size()> letters{};
  size_t otherLetters = 0;

  size_t operator[](TextScript script) const { return letters[static_cast<size_t>(script)]; }
  size_t total() const;
};
ScriptCounts countScripts(std::string_view text);

// The script a line is written in, from its characters: any kana make it Japanese and any hangul
// Korean (both mix in Han and Latin); otherwise the script of most of its letters, Latin only
// when there is no other. Nothing when it has no letters of these scripts.
std::optional<TextScript> scriptOfLine(std::string_view text);

// Whether the script is written right to left.
bool rightToLeft(TextScript script);

// Whether a character is written without spaces between words: Han, kana and Thai.
bool writtenWithoutSpaces(char32_t character);

}  // namespace platform::vision
