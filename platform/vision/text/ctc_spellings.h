// Other spellings of a stretch of a CTC recogniser's output than its greedy reading, with their
// probabilities: at small sizes the recogniser hesitates between letter pairs and the letter they
// look like ("rn" and "m"), and the spelling it prefers by a little is not always a word. Pure
// functions; safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/vision/text/ctc_decoding.h"

namespace platform::vision {

// The likeliest classes of one step, likeliest first. Further classes carry too little
// probability to change a spelling.
inline constexpr size_t kStepChoices = 4;
struct StepChoices {
  std::array<uint32_t, kStepChoices> classes{};
  std::array<float, kStepChoices> probabilities{};
};

// Each step's likeliest classes, from `steps` rows of `classes` probabilities. Classes past the
// alphabet count as the blank.
std::vector<StepChoices> likeliestChoices(const float* probabilities, size_t steps, size_t classes,
                                          const Alphabet& alphabet);

struct Spelling {
  std::string text;
  double probability = 0;  // summed over the step paths that spell it
};

// The likeliest spellings of the steps in `span` (at most `count`, likeliest first), by a CTC
// prefix beam search over each step's likeliest classes. The space counts as the blank: the span
// holds one word.
std::vector<Spelling> likeliestSpellings(const std::vector<StepChoices>& choices, StepSpan span,
                                         const Alphabet& alphabet, size_t count);

}  // namespace platform::vision
