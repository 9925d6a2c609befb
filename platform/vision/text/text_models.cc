#include "platform/vision/text/text_models.h"

#include <dirent.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace platform::vision {

namespace {

constexpr std::string_view kSuffix = ".traineddata";

void addModels(const std::string& folder, const std::string& prefix, std::vector<std::string>& models) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix)) continue;
    const std::string model(name.substr(0, name.size() - kSuffix.size()));
    if (model == "osd" || model == "equ") continue;
    models.push_back(prefix + model);
  }
}

bool installed(const std::vector<std::string>& models, const std::string& model) {
  return std::find(models.begin(), models.end(), model) != models.end();
}

struct ReaderModels {
  TextScript script;
  std::vector<const char*> languages;  // in the order Tesseract tries them
  bool withEnglish;                   // whether "eng" may follow the languages
  std::vector<const char*> scripts;   // script models, where no language model is installed
};

const ReaderModels kReaders[] = {
    {TextScript::latin, {}, false, {"Latin", "eng"}},
    {TextScript::han, {"chi_tra"}, false, {"HanT"}},
    {TextScript::japanese, {"jpn"}, false, {"Japanese"}},
    {TextScript::hangul, {"kor", "Hangul"}, true, {"Hangul"}},
    {TextScript::cyrillic, {"rus", "ukr"}, true, {"Cyrillic"}},
    {TextScript::greek, {"ell"}, true, {"Greek"}},
    {TextScript::thai, {"tha"}, true, {"Thai"}},
    {TextScript::arabic, {"ara"}, true, {"Arabic"}},
};

// The installed name of a model: at the top or in script/.
std::optional<std::string> installedName(const std::string& model, const std::vector<std::string>& models) {
  for (const std::string& candidate : {model, "script/" + model}) {
    if (installed(models, candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> installedTextModels(const std::string& folder) {
  std::vector<std::string> models;
  addModels(folder, "", models);
  addModels(folder + "/script", "script/", models);
  std::sort(models.begin(), models.end());
  return models;
}

std::optional<std::string> scriptReaderModels(TextScript script, const std::vector<std::string>& models,
                                              bool english, std::string_view firstLanguage) {
  for (const ReaderModels& reader : kReaders) {
    if (reader.script != script) continue;
    std::vector<const char*> languages = reader.languages;
    const auto first = std::find(languages.begin(), languages.end(), firstLanguage);
    if (!firstLanguage.empty() && first != languages.end()) std::rotate(languages.begin(), first, first + 1);
    std::string joined;
    for (const char* language : languages) {
      if (const std::optional<std::string> name = installedName(language, models)) {
        joined += (joined.empty() ? "" : "+") + *name;
      }
    }
    if (!joined.empty() && english && reader.withEnglish && installed(models, "eng")) joined += "+eng";
    if (!joined.empty()) return joined;
    for (const char* model : reader.scripts) {
      if (std::optional<std::string> name = installedName(model, models)) return name;
    }
  }
  return std::nullopt;
}

bool writesUkrainian(std::string_view text) {
  for (char32_t c : codePoints(text)) {
    if (c == U'і' || c == U'ї' || c == U'є' || c == U'ґ' || c == U'І' || c == U'Ї' || c == U'Є' || c == U'Ґ') return true;
  }
  return false;
}

}  // namespace platform::vision
