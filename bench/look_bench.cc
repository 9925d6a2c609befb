// look against the tesseract command on the committed pictures with known text: seconds per
// image and character error rate of each, measured in the same run.
//
//   build/bench/look_bench [ROUNDS]
//
// look reads the whole folder in one run (its engine starts once); the command is run once per
// picture, as a script would, both as installed (OpenMP threads on) and with one thread. Both
// read with English; look also looks for faces.
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

const std::string kFixtures = TEST_FIXTURES_DIR;
const std::string kLook = LOOK_PROGRAM;
const std::vector<std::string> kPictures = {"page", "paragraph", "screenshot", "sign", "date"};

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
std::string quoted(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('\'');
  out.append(text);
  out.push_back('\'');
  return out;
}

std::string readFile(const std::string& path) {
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

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("look_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  for (const std::string& name : kPictures) {
    std::filesystem::copy_file(kFixtures + "/text/" + name + ".jpg", folder / (name + ".jpg"));
  }
  const double count = static_cast<double>(kPictures.size());

  double lookSeconds = 0, commandSeconds = 0, oneThreadSeconds = 0;
  std::map<std::string, std::string> lookRead, commandRead;
  for (int round = 0; round < rounds; ++round) {
    const Timed look = runCommand(quoted(kLook) + " " + quoted(folder.string()));
    lookSeconds += look.seconds;
    lookRead = lookTexts(look.out);
    for (const std::string& name : kPictures) {
      const std::string picture = quoted((folder / (name + ".jpg")).string());
      const Timed command = runCommand("tesseract " + picture + " stdout 2>/dev/null");
      commandSeconds += command.seconds;
      commandRead[name] = command.out;
      oneThreadSeconds += runCommand("OMP_THREAD_LIMIT=1 tesseract " + picture + " stdout 2>/dev/null").seconds;
    }
  }
  std::filesystem::remove_all(folder);

  std::printf("%d pictures, %d rounds\n\n", static_cast<int>(count), rounds);
  std::printf("%-12s %12s %12s\n", "picture", "look CER", "command CER");
  double lookTotal = 0, commandTotal = 0;
  for (const std::string& name : kPictures) {
    const std::string known = readFile(kFixtures + "/text/" + name + ".txt");
    const double lookRate = tools::characterErrorRate(lookRead[name + ".jpg"], known);
    const double commandRate = tools::characterErrorRate(commandRead[name], known);
    lookTotal += lookRate;
    commandTotal += commandRate;
    std::printf("%-12s %12.3f %12.3f\n", name.c_str(), lookRate, commandRate);
  }
  std::printf("%-12s %12.3f %12.3f\n\n", "mean", lookTotal / count, commandTotal / count);
  const double lookPer = lookSeconds / rounds / count, commandPer = commandSeconds / rounds / count,
               oneThreadPer = oneThreadSeconds / rounds / count;
  std::printf("seconds per image: look %.3f (text and faces, one run over the folder)\n", lookPer);
  std::printf("                   tesseract command %.3f as installed, %.3f with one thread\n", commandPer,
              oneThreadPer);
  std::printf("look / command: %.2f (as installed), %.2f (one thread)\n", lookPer / commandPer, lookPer / oneThreadPer);
  return 0;
}
