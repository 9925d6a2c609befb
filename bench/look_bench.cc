// look against the tesseract command on the text set (bench/text_set): per kind of picture, the
// character error rate, the lines that match no true line, and the seconds of each, measured in
// the same run; then the languages kind, signs in many scripts (bench/sign_set.py makes them,
// or --languages names a folder of NAME.jpg with NAME.txt), against the command told each
// picture's language.
//
//   build/bench/look_bench [ROUNDS] [--show] [--languages FOLDER] [--peer LOOK]
//
// --show prints what each reader read of each picture, beside its error rate. --peer runs
// another build of look (the one before a change) on the text set, alternately with this one,
// and prints both builds' seconds, processor seconds and peak memory.
// look reads the whole set in one run, as it reads any folder: its models load once, and each
// picture's time is the time between its record and the one before (the first picture's time
// includes the start-up, and is also printed alone). The command runs once per picture, as a
// script would, in its automatic (--psm 3) and sparse
// (--psm 11) modes. Everything runs on one thread: OMP_THREAD_LIMIT=1 for both, and look runs
// its models on the calling thread. look also looks for faces. The large photos are the photos
// scaled to 4000x3000 with ffmpeg at the start of the run.
#include <sys/resource.h>
#include <sys/wait.h>
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
const std::string kSignSet = SIGN_SET_SCRIPT;
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

// A command's lines, each with the seconds since the line before (the first: since the start),
// and the command's processor seconds and peak resident memory.
struct MeasuredRun {
  std::vector<std::pair<std::string, double>> lines;
  double processorSeconds = 0;
  double seconds = 0;
  double peakMiB = 0;
};

MeasuredRun measuredLines(const std::string& command) {
  MeasuredRun run;
  int out[2];
  if (pipe(out) != 0) return run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  FILE* pipe = fdopen(out[0], "r");
  auto last = start;
  std::string line;
  for (int c = pipe ? std::fgetc(pipe) : EOF; c != EOF; c = std::fgetc(pipe)) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    run.lines.emplace_back(std::move(line), std::chrono::duration<double>(now - last).count());
    line.clear();
    last = now;
  }
  if (pipe) fclose(pipe);
  rusage usage{};
  int status = 0;
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    run.processorSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // the largest of the command and its children
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
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

// The tesseract command's languages for a picture of the languages kind, from its name (en_03,
// zh_hant, mix_ko_01 ...): the language, and English beside it for signs that mix it in.
std::string commandLanguages(const std::string& name) {
  static const std::map<std::string, std::string> kModels = {
      {"en", "eng"}, {"de", "deu"}, {"fr", "fra"}, {"es", "spa"},     {"it", "ita"},     {"pt", "por"},
      {"vi", "vie"}, {"ru", "rus"}, {"uk", "ukr"}, {"el", "ell"},     {"ja", "jpn"},     {"ko", "kor"},
      {"th", "tha"}, {"ar", "ara"}, {"zh", "chi_sim"}, {"zh_hans", "chi_sim"}, {"zh_hant", "chi_tra"}};
  const bool mixed = name.starts_with("mix_");
  const std::string rest = mixed ? name.substr(4) : name;
  std::string language = rest.substr(0, rest.find('_'));
  if (language == "zh" && rest.starts_with("zh_hant")) language = "zh_hant";
  const auto found = kModels.find(language);
  const std::string model = found == kModels.end() ? "eng" : found->second;
  return mixed && model != "eng" ? model + "+eng" : model;
}

// Chinese, Japanese and Thai are written without spaces between words: for their pictures the
// error rate leaves spaces out on both sides, as tools/text_check.py does.
std::string comparable(const std::string& name, std::string text) {
  if (name.starts_with("zh_") || name.starts_with("ja") || name.starts_with("th")) std::erase(text, ' ');
  return text;
}

struct Figures {
  double errorRate = 0;  // summed over pictures
  int stray = 0;
  double seconds = 0;
  double processorSeconds = 0;
  double peakMiB = 0;
};

// look over `folder` once: each picture's lines, and its seconds (the first's with the start-up).
MeasuredRun lookOver(const std::string& look, const fs::path& folder) {
  return measuredLines("OMP_THREAD_LIMIT=1 " + quoted(look) + " " + quoted(folder.string()));
}

void languagesKind(const fs::path& folder, int rounds, bool show) {
  std::vector<std::string> pictures;
  for (const fs::directory_entry& file : fs::directory_iterator(folder)) {
    if (file.path().extension() == ".jpg" && fs::exists(fs::path(file.path()).replace_extension(".txt"))) {
      pictures.push_back(file.path().filename().string());
    }
  }
  std::sort(pictures.begin(), pictures.end());
  std::map<std::string, std::string> lookRead, commandRead;
  Figures look, command;
  for (int round = 0; round < rounds; ++round) {
    const MeasuredRun run = lookOver(kLook, folder);
    for (const auto& [record, seconds] : run.lines) {
      const std::map<std::string, std::string> texts = lookTexts(record);
      if (!texts.empty()) lookRead[texts.begin()->first] = texts.begin()->second;
    }
    look.seconds += run.seconds / rounds;
    look.processorSeconds += run.processorSeconds / rounds;
    look.peakMiB = std::max(look.peakMiB, run.peakMiB);
    for (const std::string& picture : pictures) {
      const std::string name = fs::path(picture).stem().string();
      const MeasuredRun told = measuredLines("OMP_THREAD_LIMIT=1 tesseract " + quoted((folder / picture).string()) +
                                             " - -l " + commandLanguages(name) + " 2>/dev/null");
      std::string text;
      for (const auto& [line, seconds] : told.lines) text += line + "\n";
      commandRead[picture] = text;
      command.seconds += told.seconds / rounds;
      command.processorSeconds += told.processorSeconds / rounds;
      command.peakMiB = std::max(command.peakMiB, told.peakMiB);
    }
  }
  double worst[2] = {0, 0};
  for (const std::string& picture : pictures) {
    const std::string name = fs::path(picture).stem().string();
    const std::string known = comparable(name, readFile(folder / (name + ".txt")));
    Figures* figures[2] = {&look, &command};
    const std::string* read[2] = {&lookRead[picture], &commandRead[picture]};
    for (int r = 0; r < 2; ++r) {
      const double rate = tools::characterErrorRate(comparable(name, *read[r]), known);
      figures[r]->errorRate += rate;
      figures[r]->stray += strayLines(*read[r], readFile(folder / (name + ".txt")));
      worst[r] = std::max(worst[r], rate);
      if (show) {
        std::printf("  languages/%s %s %.3f: %s\n", picture.c_str(), r == 0 ? "look" : commandLanguages(name).c_str(),
                    rate, tools::normalisedSpacing(*read[r]).c_str());
      }
    }
  }
  const double n = static_cast<double>(std::max<size_t>(1, pictures.size()));
  std::printf("\nlanguages: %zu signs of %s, the command told each one's language (-l)\n", pictures.size(),
              folder.string().c_str());
  std::printf("%-8s | %7s %7s %6s %8s %8s %9s\n", "reader", "CER", "worst", "stray", "s", "CPU s", "peak MiB");
  std::printf("%-8s | %7.3f %7.3f %6d %8.2f %8.2f %9.0f\n", "look", look.errorRate / n, worst[0], look.stray,
              look.seconds, look.processorSeconds, look.peakMiB);
  std::printf("%-8s | %7.3f %7.3f %6d %8.2f %8.2f %9.0f\n", "command", command.errorRate / n, worst[1],
              command.stray, command.seconds, command.processorSeconds, command.peakMiB);
  std::printf("look / command: %.2f in seconds, %.2f in processor seconds\n",
              look.seconds / std::max(1e-9, command.seconds),
              look.processorSeconds / std::max(1e-9, command.processorSeconds));
}

// This look and another build over the same English folder, alternately, round after round.
void peerRuns(const std::string& peer, const fs::path& folder, const std::vector<Kind>& set, int rounds) {
  Figures figures[2];
  std::map<std::string, std::string> read[2];
  const std::string looks[2] = {kLook, peer};
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const int which = (round + turn) % 2;  // the first to run changes from round to round
      const MeasuredRun run = lookOver(looks[which], folder);
      figures[which].seconds += run.seconds / rounds;
      figures[which].processorSeconds += run.processorSeconds / rounds;
      figures[which].peakMiB = std::max(figures[which].peakMiB, run.peakMiB);
      for (const auto& [record, seconds] : run.lines) {
        const std::map<std::string, std::string> texts = lookTexts(record);
        if (!texts.empty()) read[which][texts.begin()->first] = texts.begin()->second;
      }
    }
  }
  int pictures = 0;
  for (const Kind& kind : set) {
    for (const std::string& picture : kind.pictures) {
      const std::string known = readFile(kind.truthFolder / (fs::path(picture).stem().string() + ".txt"));
      for (int r = 0; r < 2; ++r) figures[r].errorRate += tools::characterErrorRate(read[r][kind.name + "--" + picture], known);
      ++pictures;
    }
  }
  std::printf("\nthe text set's %d pictures, this look and the peer (%s) alternately, %d rounds\n", pictures,
              peer.c_str(), rounds);
  std::printf("%-6s | %7s %8s %8s %9s\n", "look", "CER", "s", "CPU s", "peak MiB");
  for (int r = 0; r < 2; ++r) {
    std::printf("%-6s | %7.3f %8.2f %8.2f %9.0f\n", r == 0 ? "this" : "peer",
                figures[r].errorRate / std::max(1, pictures), figures[r].seconds, figures[r].processorSeconds,
                figures[r].peakMiB);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 1;
  bool show = false;
  std::string languages, peer;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--show") {
      show = true;
    } else if (argument == "--languages" && i + 1 < argc) {
      languages = argv[++i];
    } else if (argument == "--peer" && i + 1 < argc) {
      peer = argv[++i];
    } else {
      rounds = std::max(1, std::atoi(argv[i]));
    }
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
  double firstPicture = 0, lookProcessor = 0, lookPeak = 0;
  for (int round = 0; round < rounds; ++round) {
    bool first = true;
    const MeasuredRun run = lookOver(kLook, everything);
    lookProcessor += run.processorSeconds / rounds;
    lookPeak = std::max(lookPeak, run.peakMiB);
    for (const auto& [record, seconds] : run.lines) {
      const std::map<std::string, std::string> texts = lookTexts(record);
      if (texts.empty()) continue;
      lookRead[texts.begin()->first] = texts.begin()->second;
      lookSeconds[texts.begin()->first] += seconds / rounds;
      if (first) firstPicture += seconds / rounds;
      first = false;
    }
  }

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
  std::printf("\nlook's first picture, start-up included: %.2f s (in its kind's figures); look's peak memory %.0f MiB\n",
              firstPicture, lookPeak);
  if (!peer.empty()) peerRuns(peer, everything, set, std::max(2, rounds));

  fs::path signs = languages;
  if (signs.empty()) {
    signs = scratch / "languages";
    runCommand("/usr/bin/python3 " + quoted(kSignSet) + " " + quoted(signs.string()) + " --per-language 2");
  }
  languagesKind(signs, rounds, show);
  fs::remove_all(scratch);
  return 0;
}
