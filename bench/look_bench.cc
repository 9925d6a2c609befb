// look against the tesseract command on the text set (bench/text_set): per kind of picture, the
// character error rate, the lines that match no true line, and the seconds of each, measured in
// the same run.
//
//   build/bench/look_bench [ROUNDS] [--show]
//
// --show prints what each reader read of each picture, beside its error rate.
// look reads the whole set in one run, as it reads any folder: its models load once, and each
// picture's time is the time between its record and the one before (the first picture's time
// includes the start-up, and is also printed alone). The command runs once per picture, as a
// script would, in its automatic (--psm 3) and sparse
// (--psm 11) modes. Everything runs on one thread: OMP_THREAD_LIMIT=1 for both, and look runs
// its models on the calling thread. look also looks for faces. The large photos are the photos
// scaled to 4000x3000 with ffmpeg at the start of the run.
#include <sys/resource.h>
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

// Processor seconds (user and system) of the children waited for so far: under load from other
// work, the fairer measure of what each reader costs.
double childProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

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

// The lines a command writes, each with the seconds since the line before (the first: since the
// start).
std::vector<std::pair<std::string, double>> timedLines(const std::string& command) {
  std::vector<std::pair<std::string, double>> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return lines;
  auto last = std::chrono::steady_clock::now();
  std::string line;
  for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    lines.emplace_back(std::move(line), std::chrono::duration<double>(now - last).count());
    line.clear();
    last = now;
  }
  pclose(pipe);
  return lines;
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
  // One folder for look: each picture named after its kind, so that it can be told apart.
  const fs::path everything = scratch / "look";
  fs::create_directories(everything);
  for (const Kind& kind : set) {
    for (const std::string& picture : kind.pictures) {
      fs::copy_file(kind.folder / picture, everything / (kind.name + "--" + picture),
                    fs::copy_options::overwrite_existing);
    }
  }
  std::map<std::string, std::string> lookRead;
  std::map<std::string, double> lookSeconds;
  double firstPicture = 0;
  const double lookStarted = childProcessorSeconds();
  for (int round = 0; round < rounds; ++round) {
    bool first = true;
    for (const auto& [record, seconds] :
         timedLines("OMP_THREAD_LIMIT=1 " + quoted(kLook) + " " + quoted(everything.string()))) {
      const std::map<std::string, std::string> texts = lookTexts(record);
      if (texts.empty()) continue;
      lookRead[texts.begin()->first] = texts.begin()->second;
      lookSeconds[texts.begin()->first] += seconds / rounds;
      if (first) firstPicture += seconds / rounds;
      first = false;
    }
  }

  const double lookProcessor = (childProcessorSeconds() - lookStarted) / rounds;
  double commandProcessor[3] = {lookProcessor, 0, 0};
  Reader total[3] = {{"look"}, {"psm 3"}, {"psm 11"}};
  int pictures = 0;
  for (const Kind& kind : set) {
    Reader readers[3] = {{"look"}, {"psm 3"}, {"psm 11"}};
    std::map<std::string, std::string> read[3];
    for (const std::string& picture : kind.pictures) {
      read[0][picture] = lookRead[kind.name + "--" + picture];
      readers[0].seconds += lookSeconds[kind.name + "--" + picture];
    }
    for (int round = 0; round < rounds; ++round) {
      for (const std::string& picture : kind.pictures) {
        const std::string path = quoted((kind.folder / picture).string());
        for (int mode = 1; mode <= 2; ++mode) {
          const double started = childProcessorSeconds();
          const Timed command = runCommand("OMP_THREAD_LIMIT=1 tesseract " + path + " - --psm " +
                                           (mode == 1 ? "3" : "11") + " 2>/dev/null");
          readers[mode].seconds += command.seconds / rounds;
          commandProcessor[mode] += (childProcessorSeconds() - started) / rounds;
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
  std::printf("%-14s %3s | %7s %6s %7.2f | %7s %6s %7.2f | %7s %6s %7.2f | %6.2f\n", "processor s", "", "", "",
              commandProcessor[0], "", "", commandProcessor[1], "", "", commandProcessor[2],
              commandProcessor[0] / std::max(1e-9, commandProcessor[1]));
  std::printf("\nlook's first picture, start-up included: %.2f s (in its kind's figures)\n", firstPicture);
  fs::remove_all(scratch);
  return 0;
}
