// Words the recogniser read as no word, spelled again as the likeliest word among its other
// spellings of the same stretch of the line. Small print is where this pays: at 16 pixels the
// recogniser hesitates between "rn" and "m", "li" and "h", and its first choice by a little is
// often no word ("retum") while its second is. Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/vision/text/ctc_decoding.h"
#include "platform/vision/text/ctc_spellings.h"
#include "platform/vision/text/line_choice.h"  // WordCheck: one word, punctuation off

namespace platform::vision {

// Another spelling replaces a word only when it is at least this share as likely as the likeliest
// spelling: letters the recogniser clearly saw are never written over.
inline constexpr double kRespellingShare = 0.1;

// The words of `text` (the greedy reading of `choices`, whose words were read at `wordSteps`)
// that hold three letters or more and are no word, each replaced by its likeliest spelling that is
// a word, if one is likely enough. `text` comes back unchanged when its words and their steps
// do not match.
std::string respelledWords(std::string_view text, const std::vector<StepSpan>& wordSteps,
                           const std::vector<StepChoices>& choices, const Alphabet& alphabet, const WordCheck& isWord);

// The words of `text` that hold three letters or more and are no word (by the punctuation
// around them off), as places among the words at its spaces.
std::vector<size_t> unknownWords(std::string_view text, const WordCheck& isWord);

}  // namespace platform::vision
