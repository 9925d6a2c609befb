#include "platform/vision/text/text_scripts.h"

#include <utf8proc.h>

#include <algorithm>

namespace platform::vision {

namespace {

struct Range {
  char32_t first, last;
  TextScript script;
};

// Unicode blocks of each script's letters and marks (digits and punctuation inside them, such as
// the Arabic comma, count with the script: they only come with its text).
constexpr Range kRanges[] = {
    {U'A', U'Z', TextScript::latin},          {U'a', U'z', TextScript::latin},
    {0x00C0, 0x00D6, TextScript::latin},      {0x00D8, 0x00F6, TextScript::latin},
    {0x00F8, 0x024F, TextScript::latin},      {0x1E00, 0x1EFF, TextScript::latin},  // Vietnamese among them
    {0x0370, 0x03FF, TextScript::greek},      {0x1F00, 0x1FFF, TextScript::greek},
    {0x0400, 0x052F, TextScript::cyrillic},   {0x0600, 0x06FF, TextScript::arabic},
    {0x0750, 0x077F, TextScript::arabic},     {0x08A0, 0x08FF, TextScript::arabic},
    {0xFB50, 0xFDFF, TextScript::arabic},     {0xFE70, 0xFEFF, TextScript::arabic},
    {0x0E00, 0x0E7F, TextScript::thai},       {0x1100, 0x11FF, TextScript::hangul},
    {0x3130, 0x318F, TextScript::hangul},     {0xAC00, 0xD7AF, TextScript::hangul},
    {0x3040, 0x30FF, TextScript::japanese},   {0x31F0, 0x31FF, TextScript::japanese},
    {0xFF66, 0xFF9F, TextScript::japanese},   {0x3005, 0x3007, TextScript::han},
    {0x3400, 0x4DBF, TextScript::han},        {0x4E00, 0x9FFF, TextScript::han},
    {0xF900, 0xFAFF, TextScript::han},        {0x20000, 0x3134F, TextScript::han},
};

bool isLetter(char32_t character) {
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(character));
  return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
}

}  // namespace

std::string_view scriptName(TextScript script) {
  switch (script) {
    case TextScript::latin:
      return "Latin";
    case TextScript::han:
      return "Han";
    case TextScript::japanese:
      return "Japanese";
    case TextScript::hangul:
      return "Hangul";
    case TextScript::cyrillic:
      return "Cyrillic";
    case TextScript::greek:
      return "Greek";
    case TextScript::thai:
      return "Thai";
    case TextScript::arabic:
      return "Arabic";
  }
  return "";
}

std::vector<char32_t> codePoints(std::string_view text) {
  std::vector<char32_t> out;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  for (utf8proc_ssize_t i = 0; i < size;) {
    utf8proc_int32_t codepoint = 0;
    const utf8proc_ssize_t length = utf8proc_iterate(bytes + i, size - i, &codepoint);
    if (length <= 0) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(static_cast<char32_t>(codepoint));
    i += length;
  }
  return out;
}

std::optional<TextScript> scriptOfCharacter(char32_t character) {
  for (const Range& range : kRanges) {
    if (character >= range.first && character <= range.last) return range.script;
  }
  return std::nullopt;
}

size_t ScriptCounts::total() const {
  size_t sum = otherLetters;
  for (size_t count : letters) sum += count;
  return sum;
}

ScriptCounts countScripts(std::string_view text) {
  ScriptCounts counts;
  for (char32_t character : codePoints(text)) {
    if (const std::optional<TextScript> script = scriptOfCharacter(character)) {
      ++counts.letters[static_cast<size_t>(*script)];
    } else if (isLetter(character)) {
      ++counts.otherLetters;
    }
  }
  return counts;
}

std::optional<TextScript> scriptOfLine(std::string_view text) {
  const ScriptCounts counts = countScripts(text);
  if (counts[TextScript::japanese] > 0) return TextScript::japanese;
  if (counts[TextScript::hangul] > 0) return TextScript::hangul;
  std::optional<TextScript> most;
  for (TextScript script : kTextScripts) {
    if (script == TextScript::latin || counts[script] == 0) continue;
    if (!most || counts[script] > counts[*most]) most = script;
  }
  if (most) return most;
  if (counts[TextScript::latin] > 0) return TextScript::latin;
  return std::nullopt;
}

bool rightToLeft(TextScript script) { return script == TextScript::arabic; }

bool writtenWithoutSpaces(char32_t character) {
  const std::optional<TextScript> script = scriptOfCharacter(character);
  return script == TextScript::han || script == TextScript::japanese || script == TextScript::thai ||
         (character >= 0x3000 && character <= 0x303F);  // CJK punctuation
}

}  // namespace platform::vision
