#include "platform/vision/text/english_words.h"

#include <sstream>
#include <string>
#include <unordered_set>

#include "platform/nn/model_files.h"
#include "platform/vision/text/line_scripts.h"

namespace platform::vision {

namespace {

constexpr const char* kWordLists[] = {"/usr/share/dict/american-english", "/usr/share/dict/british-english"};

const std::unordered_set<std::string>& englishWords() {
  static const std::unordered_set<std::string> words = [] {
    std::unordered_set<std::string> loaded;
    for (const char* path : kWordLists) {
      // Read as the models are: a regular file of bounded size, never a FIFO or a device.
      const Result<std::vector<uint8_t>> bytes = nn::readModelBytes(path);
      if (!bytes) continue;
      std::istringstream file(std::string(bytes.value().begin(), bytes.value().end()));
      for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) loaded.insert(line);
      }
    }
    return loaded;
  }();
  return words;
}

}  // namespace

bool haveEnglishWords() { return !englishWords().empty(); }

bool isEnglishWord(std::string_view word) {
  const std::unordered_set<std::string>& words = englishWords();
  const std::string written(word);
  return words.contains(written) || words.contains(lowerCased(written));
}

}  // namespace platform::vision
