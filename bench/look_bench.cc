// look against the tesseract command on the text set (bench/text_set): per kind of picture, the
// character error rate, the lines that match no true line, and the seconds of each, measured in
// the same run.
//
//   build/bench/look_bench [ROUNDS] [--show]
//
// --show prints what each reader read of each picture, beside its error rate.
// look reads each kind's folder in one run (its models load once per run, as for any folder);
// the command runs once per picture, as a script would, in its automatic (--psm 3) and sparse
// (--psm 11) modes. Everything runs on one thread: OMP_THREAD_LIMIT=1 for both, and look runs
// its models on the calling thread. look also looks for faces. The large photos are the photos
// scaled to 4000x3000 with ffmpeg at the start of the run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/character_error_rate.h"

namespace {

namespace fs = std::filesystem;

const std::string kTextSet = TEXT_SET_DIR;
const std::string kLook = LOOK_PROGRAM;
const std::string kLargePhotos = "large_photos";

// A line of ours matches a true line when its error rate against that line is at most this.
constexpr double kMatchingLine = 0.5;

struct Timed {
  std::string out;
  double seconds = 0;
};

Timed runCommand(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  Timed timed;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return timed;
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) timed.out.append(buffer, got);
  pclose(pipe);
  timed.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return timed;
}

// `text` in single quotes for the shell (the paths here hold no quotes of their own).
std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string readFile(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The JSON string that starts at text[i] (a quotation mark); i is left after it.
std::string jsonString(const std::string& text, size_t& i) {
  std::string out;
  for (++i; i < text.size() && text[i] != '"'; ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    const char escape = text[++i];
    if (escape == 'n')
      out.push_back('\n');
    else if (escape == 't')
      out.push_back('\t');
    else if (escape == 'u') {
      out += "?";  // control characters only: look writes everything else as it is
      i += 4;
    } else
      out.push_back(escape);  // \" \\ \/
  }
  ++i;
  return out;
}

// look's lines of text per file name, from its output: the "text" of every line record.
std::map<std::string, std::string> lookTexts(const std::string& output) {
  std::map<std::string, std::string> texts;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    size_t at = line.find("\"file\":\"");
    if (at == std::string::npos) continue;
    at += 7;
    const std::string file = jsonString(line, at);
    std::string text;
    for (size_t key = line.find("\"text\":\"", at); key != std::string::npos; key = line.find("\"text\":\"", at)) {
      at = key + 7;
      text += jsonString(line, at) + "\n";
    }
    texts[file] = text;
  }
  return texts;
}

std::vector<std::string> nonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!tools::normalisedSpacing(line).empty()) lines.push_back(line);
  }
  return lines;
}

// Lines read that match no true line (nor a part of one: a true line may be read as two).
int strayLines(const std::string& read, const std::string& known) {
  const std::vector<std::string> truth = nonEmptyLines(known);
  int stray = 0;
  for (const std::string& line : nonEmptyLines(read)) {
    bool matches = false;
    for (const std::string& truthLine : truth) {
      const std::string wanted = tools::normalisedSpacing(truthLine);
      const std::string got = tools::normalisedSpacing(line);
      if (tools::characterErrorRate(got, wanted) <= kMatchingLine || wanted.find(got) != std::string::npos) {
        matches = true;
        break;
      }
    }
    if (!matches) ++stray;
  }
  return stray;
}

struct Reader {
  std::string name;
  double seconds = 0;
  double errorRate = 0;  // summed over pictures
  int stray = 0;
};

struct Kind {
  std::string name;
  fs::path folder;
  std::vector<std::string> pictures;  // file names
  fs::path truthFolder;
};

// The kinds of pictures of the set, then the large photos made from the photos in `scratch`.
std::vector<Kind> kinds(const fs::path& scratch) {
  std::vector<Kind> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(kTextSet)) {
    if (!entry.is_directory()) continue;
    Kind kind{entry.path().filename().string(), entry.path(), {}, entry.path()};
    for (const fs::directory_entry& file : fs::directory_iterator(entry.path())) {
      if (file.path().extension() == ".jpg") kind.pictures.push_back(file.path().filename().string());
    }
    std::sort(kind.pictures.begin(), kind.pictures.end());
    found.push_back(std::move(kind));
  }
  std::sort(found.begin(), found.end(), [](const Kind& a, const Kind& b) { return a.name < b.name; });
  const auto photos = std::find_if(found.begin(), found.end(), [](const Kind& k) { return k.name == "photos"; });
  if (photos != found.end()) {
    Kind large{kLargePhotos, scratch / kLargePhotos, {}, photos->folder};
    fs::create_directories(large.folder);
    for (const std::string& picture : photos->pictures) {
      const std::string made = (large.folder / picture).string();
      runCommand("ffmpeg -loglevel error -y -i " + quoted((photos->folder / picture).string()) +
                 " -vf scale=4000:3000 -q:v 3 " + quoted(made));
      if (fs::exists(made)) large.pictures.push_back(picture);
    }
    found.push_back(std::move(large));
  }
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 1;
  bool show = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--show")
      show = true;
    else
      rounds = std::max(1, std::atoi(argv[i]));
  }
  const fs::path scratch = fs::temp_directory_path() / ("look_bench_" + std::to_string(getpid()));
  fs::create_directories(scratch);
  const std::vector<Kind> set = kinds(scratch);

  std::printf(
      "%d rounds, one thread each; CER: mean character error rate; stray: lines read that match no "
      "true line; s: seconds for the kind's pictures\n\n",
      rounds);
  std::printf("%-14s %3s | %7s %6s %7s | %7s %6s %7s | %7s %6s %7s | %6s\n", "kind", "n", "look", "stray", "s", "psm 3",
              "stray", "s", "psm 11", "stray", "s", "look/3");
  Reader total[3] = {{"look"}, {"psm 3"}, {"psm 11"}};
  int pictures = 0;
  for (const Kind& kind : set) {
    // look reads only the pictures: a folder of its own without the true texts.
    const fs::path folder = scratch / ("look_" + kind.name);
    fs::create_directories(folder);
    for (const std::string& picture : kind.pictures) {
      fs::copy_file(kind.folder / picture, folder / picture, fs::copy_options::overwrite_existing);
    }
    Reader readers[3] = {{"look"}, {"psm 3"}, {"psm 11"}};
    std::map<std::string, std::string> read[3];
    for (int round = 0; round < rounds; ++round) {
      const Timed look = runCommand("OMP_THREAD_LIMIT=1 " + quoted(kLook) + " " + quoted(folder.string()));
      readers[0].seconds += look.seconds / rounds;
      read[0] = lookTexts(look.out);
      for (const std::string& picture : kind.pictures) {
        const std::string path = quoted((folder / picture).string());
        for (int mode = 1; mode <= 2; ++mode) {
          const Timed command = runCommand("OMP_THREAD_LIMIT=1 tesseract " + path + " - --psm " +
                                           (mode == 1 ? "3" : "11") + " 2>/dev/null");
          readers[mode].seconds += command.seconds / rounds;
          read[mode][picture] = command.out;
        }
      }
    }
    for (const std::string& picture : kind.pictures) {
      const std::string known = readFile(kind.truthFolder / (fs::path(picture).stem().string() + ".txt"));
      for (int r = 0; r < 3; ++r) {
        readers[r].errorRate += tools::characterErrorRate(read[r][picture], known);
        readers[r].stray += strayLines(read[r][picture], known);
        if (show) {
          std::printf("  %s/%s %s %.3f: %s\n", kind.name.c_str(), picture.c_str(), readers[r].name.c_str(),
                      tools::characterErrorRate(read[r][picture], known),
                      tools::normalisedSpacing(read[r][picture]).c_str());
        }
      }
    }
    const double n = static_cast<double>(std::max<size_t>(1, kind.pictures.size()));
    std::printf("%-14s %3zu |", kind.name.c_str(), kind.pictures.size());
    for (int r = 0; r < 3; ++r) {
      std::printf(" %7.3f %6d %7.2f |", readers[r].errorRate / n, readers[r].stray, readers[r].seconds);
      total[r].errorRate += readers[r].errorRate;
      total[r].stray += readers[r].stray;
      total[r].seconds += readers[r].seconds;
    }
    std::printf(" %6.2f\n", readers[0].seconds / std::max(1e-9, readers[1].seconds));
    pictures += static_cast<int>(kind.pictures.size());
  }
  std::printf("%-14s %3d |", "all", pictures);
  for (const Reader& reader : total) {
    std::printf(" %7.3f %6d %7.2f |", reader.errorRate / std::max(1, pictures), reader.stray, reader.seconds);
  }
  std::printf(" %6.2f\n", total[0].seconds / std::max(1e-9, total[1].seconds));
  fs::remove_all(scratch);
  return 0;
}
