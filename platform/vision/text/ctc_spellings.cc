#include "platform/vision/text/ctc_spellings.h"

#include <algorithm>
#include <map>

namespace platform::vision {

namespace {

// Prefixes kept from step to step: a word's hesitations are few, and each doubles the prefixes.
constexpr size_t kBeamWidth = 16;

struct PrefixOdds {
  double endingInBlank = 0;
  double endingInClass = 0;
  double total() const { return endingInBlank + endingInClass; }
};

}  // namespace

std::vector<StepChoices> likeliestChoices(const float* probabilities, size_t steps, size_t classes,
                                          const Alphabet& alphabet) {
  std::vector<StepChoices> out(steps);
  std::vector<uint32_t> order(classes);
  for (size_t t = 0; t < steps; ++t) {
    const float* row = probabilities + t * classes;
    for (uint32_t c = 0; c < classes; ++c) order[c] = c;
    const size_t kept = std::min(kStepChoices, classes);
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(kept), order.end(),
                      [&](uint32_t a, uint32_t b) { return row[a] > row[b]; });
    for (size_t k = 0; k < kept; ++k) {
      out[t].classes[k] = order[k] < alphabet.classCount() ? order[k] : 0;
      out[t].probabilities[k] = row[order[k]];
    }
  }
  return out;
}

std::vector<Spelling> likeliestSpellings(const std::vector<StepChoices>& choices, StepSpan span,
                                         const Alphabet& alphabet, size_t count) {
  const size_t space = alphabet.spaceClass();
  std::map<std::vector<uint32_t>, PrefixOdds> beams{{{}, PrefixOdds{1, 0}}};
  for (size_t t = span.first; t < std::min(span.end, choices.size()); ++t) {
    std::map<std::vector<uint32_t>, PrefixOdds> next;
    for (const auto& [prefix, odds] : beams) {
      for (size_t k = 0; k < kStepChoices; ++k) {
        const uint32_t c = choices[t].classes[k] == space ? 0 : choices[t].classes[k];
        const double p = choices[t].probabilities[k];
        if (p <= 0) continue;
        if (c == 0) {
          next[prefix].endingInBlank += odds.total() * p;
          continue;
        }
        std::vector<uint32_t> longer = prefix;
        longer.push_back(c);
        if (!prefix.empty() && prefix.back() == c) {
          // The same class again continues its character unless a blank came between.
          next[prefix].endingInClass += odds.endingInClass * p;
          next[longer].endingInClass += odds.endingInBlank * p;
        } else {
          next[longer].endingInClass += odds.total() * p;
        }
      }
    }
    // A repeat with no blank before it can add a prefix that no path spells.
    std::vector<std::pair<std::vector<uint32_t>, PrefixOdds>> ranked;
    for (auto& entry : next) {
      if (entry.second.total() > 0) ranked.push_back(std::move(entry));
    }
    std::sort(ranked.begin(), ranked.end(),
              [](const auto& a, const auto& b) { return a.second.total() > b.second.total(); });
    if (ranked.size() > kBeamWidth) ranked.resize(kBeamWidth);
    beams = std::map<std::vector<uint32_t>, PrefixOdds>(ranked.begin(), ranked.end());
  }
  std::vector<Spelling> out;
  for (const auto& [prefix, odds] : beams) {
    Spelling spelling;
    for (uint32_t c : prefix) spelling.text += alphabet.character(c);
    spelling.probability = odds.total();
    out.push_back(std::move(spelling));
  }
  std::sort(out.begin(), out.end(), [](const Spelling& a, const Spelling& b) { return a.probability > b.probability; });
  if (out.size() > count) out.resize(count);
  return out;
}

}  // namespace platform::vision
