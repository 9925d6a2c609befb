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

// The installed model for one script, looked for at the top and in script/.
std::optional<std::string> scriptModel(const std::string& script, const std::vector<std::string>& models) {
  for (const std::string& candidate : {script, "script/" + script}) {
    if (installed(models, candidate)) return candidate;
  }
  return std::nullopt;
}

// The script a model covers, for models named after their script ("Latin", "script/Cyrillic",
// "HanS"); nothing for language models ("eng") and vertical-text variants.
std::optional<std::string> scriptOfModel(std::string_view model) {
  if (model.starts_with("script/"))
    model.remove_prefix(7);
  else if (model.empty() || model[0] < 'A' || model[0] > 'Z')
    return std::nullopt;
  if (model.ends_with("_vert")) return std::nullopt;
  if (model == "HanS" || model == "HanT") return "Han";
  return std::string(model);
}

}  // namespace

std::vector<std::string> installedTextModels(const std::string& folder) {
  std::vector<std::string> models;
  addModels(folder, "", models);
  addModels(folder + "/script", "script/", models);
  std::sort(models.begin(), models.end());
  return models;
}

std::string chooseTextModel(const std::optional<ScriptDetection>& detection, const std::vector<std::string>& models) {
  const std::string fallback = kDefaultTextModel;
  if (!detection || !(detection->confidence >= kScriptConfidenceNeeded)) return fallback;
  if (detection->script == "Latin") return fallback;
  if (detection->script == "Han") {
    for (const char* variant : {"HanS", "HanT"}) {
      if (std::optional<std::string> model = scriptModel(variant, models)) return *model;
    }
    return fallback;
  }
  return scriptModel(detection->script, models).value_or(fallback);
}

bool scriptDetectionMatters(const std::vector<std::string>& models) {
  for (const std::string& model : models) {
    const std::optional<std::string> script = scriptOfModel(model);
    if (script && chooseTextModel(ScriptDetection{*script, 100.0f}, models) != kDefaultTextModel) return true;
  }
  return false;
}

}  // namespace platform::vision
