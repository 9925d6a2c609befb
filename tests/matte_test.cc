// End-to-end tests of the built `matte` program: its messages, exit statuses, summary line and the
// video files it writes, checked from outside with ffprobe and ffmpeg, on clips of a man at a
// webcam and of a street with no one in it.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sstream>

#include "tests/support/files.h"
#include "tests/support/person_outline.h"
#include "tests/support/program_run.h"
#include "tests/support/video_probe.h"

namespace {

const std::string kMatte = MATTE_PROGRAM;
const std::string kVideos = std::string(TEST_FIXTURES_DIR) + "/video/";

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string fixed4(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return text;
}

bool isNumber(const std::string& text, int decimals) {
  const size_t point = text.find('.');
  const std::string whole = decimals == 0 ? text : text.substr(0, point);
  if (whole.empty() || (whole.size() > 1 && whole[0] == '0')) return false;
  if (whole.find_first_not_of("0123456789") != std::string::npos) return false;
  if (decimals == 0) return true;
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  return fraction.size() == static_cast<size_t>(decimals) &&
         fraction.find_first_not_of("0123456789") == std::string::npos;
}

// The eight values of a summary line, checked for their exact layout: keys in order, one space
// after each colon, ", " between members, integers and fixed-point numbers with their digits, one
// line feed at the end. Nothing when the layout is off.
std::optional<std::vector<std::string>> summaryFields(const std::string& line) {
  static const std::pair<const char*, int> kMembers[] = {{"frames", 0},  {"width", 0},         {"height", 0},
                                                         {"seconds", 2}, {"person_frames", 0}, {"coverage", 4},
                                                         {"top", 4},     {"aspect", 4}};
  if (!line.starts_with("{") || !line.ends_with("}\n")) return std::nullopt;
  std::vector<std::string> values;
  size_t at = 1;
  for (const auto& [key, decimals] : kMembers) {
    const std::string opening = std::string(values.empty() ? "" : ", ") + "\"" + key + "\": ";
    if (line.compare(at, opening.size(), opening) != 0) return std::nullopt;
    at += opening.size();
    const size_t end = line.find_first_of(",}", at);
    values.push_back(line.substr(at, end - at));
    if (!isNumber(values.back(), decimals)) return std::nullopt;
    at = end;
  }
  if (at != line.size() - 2) return std::nullopt;
  return values;
}

// Makes a three-frame test-pattern clip of the given size with ffmpeg (FFV1 in Matroska, which
// takes odd sizes too).
std::string patternClip(const test_support::TemporaryFolder& folder, const std::string& size) {
  const std::string path = (folder / "pattern_" + size + ".mkv");
  test_support::runProgram(
      "ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=10:duration=0.3",
                 "-c:v", "ffv1", "-pix_fmt", "yuv444p", path});
  return path;
}

TEST(MatteTest, RefusesBadCommandLinesAndInputsInTheirOrder) {
  test_support::TemporaryFolder folder;
  const std::string taken = (folder / "taken.mp4");
  test_support::writeFile(taken, "not to be touched");
  test_support::writeFile((folder / "notes.txt"), "plain text\n");
  test_support::writeFile((folder / "notes.mp4"), "plain text under a video's name\n");
  ASSERT_EQ(symlink((folder / "nowhere.mp4").c_str(), (folder / "dangling.mp4").c_str()), 0);
  const std::string person = kVideos + "person.mp4";
  const std::string fresh = (folder / "out.mp4");
  const std::string missing = (folder / "missing.mp4");

  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{}, "usage: matte <video> <out.mp4> [fast|balanced|accurate]"},
      {{person}, "usage: matte <video> <out.mp4> [fast|balanced|accurate]"},
      {{missing, taken, "Fast"}, "quality is fast, balanced or accurate"},  // the word comes first
      {{person, fresh, "FAST"}, "quality is fast, balanced or accurate"},
      {{person, fresh, " fast"}, "quality is fast, balanced or accurate"},
      {{person, fresh, "fast "}, "quality is fast, balanced or accurate"},
      {{person, fresh, ""}, "quality is fast, balanced or accurate"},
      {{missing, taken}, "the video does not exist"},  // the input comes before the output
      {{person, taken}, "the output file already exists"},
      {{person, folder.path()}, "the output file already exists"},
      {{person, (folder / "dangling.mp4")}, "the output file already exists"},  // never written through
      {{folder.path(), fresh}, "the video could not be opened"},
      {{(folder / "notes.txt"), fresh}, "this file has no picture"},  // no video track can be listed
      {{(folder / "notes.mp4"), fresh}, "this file has no picture"},
      {{kVideos + "sound_only.m4a", fresh}, "this file has no picture"},
      {{person, (folder / "no/such/folder.mp4")}, "the cut-out could not be written"},
  };
  for (const Case& c : cases) {
    const test_support::ProgramRun outcome = test_support::runProgram(kMatte, c.arguments);
    std::string shown;
    for (const std::string& argument : c.arguments) shown += " '" + argument + "'";
    EXPECT_EQ(outcome.exitStatus, 1) << shown;
    EXPECT_EQ(outcome.standardError, "Error: " + c.message + "\n") << shown;
    EXPECT_EQ(outcome.standardOutput, "") << shown;
    EXPECT_FALSE(test_support::exists(fresh)) << shown;
  }
  EXPECT_EQ(test_support::readFile(taken), "not to be touched");
  EXPECT_FALSE(test_support::exists((folder / "nowhere.mp4")));
}

// The person clip cut cleanly where its 21st frame begins: its index lists 50 frames, its data
// holds 20, and no frame is cut in half.
std::string cutBetweenFrames(const test_support::TemporaryFolder& folder) {
  const std::string person = kVideos + "person.mp4";
  const std::vector<int64_t> starts = test_support::videoPacketPositions(person);
  const std::string path = (folder / "cut_between.mp4");
  if (starts.size() > 20) {
    test_support::writeFile(path, test_support::readFile(person).substr(0, static_cast<size_t>(starts[20])));
  }
  return path;
}

TEST(MatteTest, AFailedRunRemovesTheFileItCreatedSoARetryCanRun) {
  test_support::TemporaryFolder inputs;
  struct Case {
    std::string video;
    const char* message;
  };
  const Case cases[] = {
      {kVideos + "cut_off.mp4", "the video could not be read to its end"},  // cut inside a frame
      {cutBetweenFrames(inputs), "the video could not be read to its end"},
      {kVideos + "no_frames.mp4", "the video has no frames"},
  };
  for (const Case& c : cases) {
    test_support::TemporaryFolder folder;
    const std::string out = (folder / "out.mp4");
    const test_support::ProgramRun outcome = test_support::runProgram(kMatte, {c.video, out, "fast"});
    EXPECT_EQ(outcome.exitStatus, 1) << c.video;
    EXPECT_EQ(outcome.standardOutput, "") << c.video;
    // Progress lines may come first; the failure is the last line.
    const std::vector<std::string> lines = linesOf(outcome.standardError);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), std::string("Error: ") + c.message) << c.video;
    for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(lines[i].starts_with("progress ")) << lines[i];
    EXPECT_FALSE(test_support::exists(out)) << c.video;

    // The same path is free for the next run.
    const test_support::ProgramRun retry = test_support::runProgram(kMatte, {kVideos + "person.mp4", out, "fast"});
    EXPECT_EQ(retry.exitStatus, 0) << retry.standardError;
  }
}

struct SuccessfulRun {
  std::string name;
  std::string video;
  std::vector<std::string> extra;  // the quality word and anything after it
  int width, height, frames;
  int expected;  // frames the file's duration and rate promise
  std::string timeBase;
  bool person;  // the man in every frame, or no one in any
};

void PrintTo(const SuccessfulRun& run, std::ostream* out) { *out << run.video; }

class MatteRunTest : public testing::TestWithParam<SuccessfulRun> {};

TEST_P(MatteRunTest, WritesTheMaskVideoAndOneSummaryLine) {
  const SuccessfulRun& run = GetParam();
  test_support::TemporaryFolder folder;
  const std::string out = (folder / "cut out.mp4");
  std::vector<std::string> arguments = {run.video, out};
  arguments.insert(arguments.end(), run.extra.begin(), run.extra.end());
  const test_support::ProgramRun outcome = test_support::runProgram(kMatte, arguments);
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.standardError;

  // Standard error: only progress lines, every 15 frames.
  std::vector<std::string> progress;
  for (int written = 15; written <= run.frames; written += 15) {
    progress.push_back("progress " + std::to_string(written) + " " + std::to_string(std::max(written, run.expected)));
  }
  EXPECT_EQ(linesOf(outcome.standardError), progress);

  // Standard output: the summary, alone, on one line.
  const std::optional<std::vector<std::string>> field = summaryFields(outcome.standardOutput);
  ASSERT_TRUE(field) << outcome.standardOutput;
  const std::vector<std::string>& value = *field;
  EXPECT_EQ(std::stoi(value[0]), run.frames);
  EXPECT_EQ(std::stoi(value[1]), run.width);
  EXPECT_EQ(std::stoi(value[2]), run.height);
  if (run.person) {
    // The man's head and shoulders fill about a fifth of the picture; the top of his hair lies
    // about a quarter of the way down (a third, lying on his side in the turned clip).
    EXPECT_EQ(std::stoi(value[4]), run.frames);
    EXPECT_GT(std::stod(value[5]), 0.12);
    EXPECT_LT(std::stod(value[5]), 0.35);
    EXPECT_GT(std::stod(value[6]), 0.15);
    EXPECT_LT(std::stod(value[6]), 0.40);
  } else {
    EXPECT_EQ(value[4], "0");
    EXPECT_LT(std::stod(value[5]), 0.01);
    EXPECT_EQ(value[6], "0.0000");
  }
  EXPECT_EQ(value[7], fixed4(static_cast<double>(run.width) / run.height));

  // The file, as ffprobe sees it.
  const std::optional<test_support::ProbedVideo> probed = test_support::probe(out);
  ASSERT_TRUE(probed);
  ASSERT_EQ(probed->streams.size(), 1u);  // only the video track, no sound
  test_support::Fields stream = probed->streams[0];
  EXPECT_EQ(stream["codec_name"], "h264");
  EXPECT_EQ(stream["profile"], "High");
  EXPECT_EQ(stream["width"], std::to_string(run.width));
  EXPECT_EQ(stream["height"], std::to_string(run.height));
  EXPECT_EQ(stream["time_base"], run.timeBase);
  EXPECT_EQ(stream["color_range"], "pc");
  EXPECT_EQ(stream["has_b_frames"], "0");
  ASSERT_EQ(probed->frames.size(), static_cast<size_t>(run.frames));
  int sinceKey = 0;
  for (size_t i = 0; i < probed->frames.size(); ++i) {
    const test_support::ProbedFrame& frame = probed->frames[i];
    EXPECT_NE(frame.type, "B");
    sinceKey = frame.key ? 0 : sinceKey + 1;
    EXPECT_LT(sinceKey, 12) << "frame " << i;
    if (i > 0) {
      EXPECT_GT(frame.pts, probed->frames[i - 1].pts) << "frame " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, MatteRunTest,
    testing::Values(
        SuccessfulRun{"Plain", kVideos + "person.mp4", {}, 160, 120, 50, 50, "1/12800", true},
        SuccessfulRun{"QuarterTurn", kVideos + "person_turned.mp4", {"fast"}, 120, 160, 50, 50, "1/12800", true},
        SuccessfulRun{"TwoVideoStreams",
                      kVideos + "two_pictures.mp4",
                      {"balanced", "and", "more"},
                      160,
                      120,
                      50,
                      50,
                      "1/12800",
                      true},
        SuccessfulRun{"SharedTimes", kVideos + "shared_times.mkv", {"accurate"}, 160, 120, 26, 25, "1/1000", true},
        SuccessfulRun{"NoPersonFast", kVideos + "no_person.mp4", {"fast"}, 160, 90, 50, 50, "1/12800", false},
        SuccessfulRun{"NoPersonBalanced", kVideos + "no_person.mp4", {"balanced"}, 160, 90, 50, 50, "1/12800", false},
        SuccessfulRun{"NoPersonAccurate", kVideos + "no_person.mp4", {"accurate"}, 160, 90, 50, 50, "1/12800", false}),
    [](const testing::TestParamInfo<SuccessfulRun>& info) { return info.param.name; });

TEST(MatteTest, TheCutOutDecodesWhiteOnTheManAndBlackElsewhereInFullRange) {
  // The clip's first frame is the webcam picture whose outline was traced by hand: deep inside
  // the outline the cut-out must be white, well outside it black, near 255 and 0 as decoded
  // (limited range would give 235 and 16).
  const std::vector<float> truth = test_support::outlineCoverage(test_support::webcamOutline(), 400, 300, 160, 120);
  auto everywhereWithin = [&](int x, int y, float value) {
    for (int j = std::max(0, y - 4); j <= std::min(119, y + 4); ++j)
      for (int i = std::max(0, x - 4); i <= std::min(159, x + 4); ++i)
        if (truth[static_cast<size_t>(j) * 160 + i] != value) return false;
    return true;
  };
  for (const char* quality : {"fast", "balanced", "accurate"}) {
    test_support::TemporaryFolder folder;
    const std::string out = (folder / "cut.mp4");
    const test_support::ProgramRun outcome = test_support::runProgram(kMatte, {kVideos + "person.mp4", out, quality});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.standardError;
    const std::vector<std::vector<uint8_t>> planes = test_support::lumaPlanes(out, 160, 120);
    ASSERT_EQ(planes.size(), 50u);
    int inside = 0, white = 0, outside = 0, black = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160; ++x) {
        const int luma = planes[0][static_cast<size_t>(y) * 160 + x];
        if (everywhereWithin(x, y, 1.0f)) ++inside, white += luma >= 240;
        if (everywhereWithin(x, y, 0.0f)) ++outside, black += luma <= 15;
      }
    }
    ASSERT_GT(inside, 2000) << quality;
    ASSERT_GT(outside, 8000) << quality;
    EXPECT_GT(white, inside * 0.95) << quality << ": " << white << " of " << inside;
    EXPECT_GT(black, outside * 0.95) << quality << ": " << black << " of " << outside;
    for (size_t frame = 0; frame < planes.size(); ++frame) {
      EXPECT_EQ(*std::max_element(planes[frame].begin(), planes[frame].end()), 255) << quality << " frame " << frame;
      EXPECT_EQ(*std::min_element(planes[frame].begin(), planes[frame].end()), 0) << quality << " frame " << frame;
    }
  }
}

TEST(MatteTest, SizesTheCutOutEvenAndAtMost1280) {
  test_support::TemporaryFolder folder;
  struct Case {
    std::string size;
    std::string width, height;
  };
  const Case cases[] = {{"1500x1000", "1280", "854"}, {"161x121", "162", "122"}};
  for (const Case& c : cases) {
    const std::string out = (folder / c.size + ".mp4");
    const test_support::ProgramRun outcome =
        test_support::runProgram(kMatte, {patternClip(folder, c.size), out, "fast"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.standardError;
    EXPECT_TRUE(outcome.standardOutput.starts_with("{\"frames\": 3, \"width\": " + c.width +
                                                   ", \"height\": " + c.height + ", "))
        << outcome.standardOutput;
    test_support::Fields stream = test_support::probe(out)->streams.at(0);
    EXPECT_EQ(stream["width"], c.width);
    EXPECT_EQ(stream["height"], c.height);
  }
}

TEST(MatteTest, TakesRelativePathsFromItsFolderAndAPointWhateverTheLocale) {
  test_support::TemporaryFolder folder;
  ASSERT_EQ(test_support::runProgram("cp", {kVideos + "person.mp4", (folder / "in.mp4")}).exitStatus, 0);
  const test_support::ProgramRun outcome = test_support::runProgram(
      kMatte, {"in.mp4", "out.mp4", "fast"},
      test_support::RunOptions().inFolder(folder.path()).withEnvironment({"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"}));
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.standardError;
  EXPECT_TRUE(test_support::exists((folder / "out.mp4")));
  EXPECT_NE(outcome.standardOutput.find("\"aspect\": 1.3333}"), std::string::npos) << outcome.standardOutput;
}

TEST(MatteTest, DamagedVideosEndWithAMessageNeverACrash) {
  // The fixture with bytes overwritten at spread-out places: in the index, in the frames, at the end.
  const std::string intact = test_support::readFile(kVideos + "person.mp4");
  ASSERT_GT(intact.size(), 4000u);
  test_support::TemporaryFolder folder;
  for (int damage = 0; damage < 8; ++damage) {
    std::string bytes = intact;
    uint32_t state = 2463534242u + static_cast<uint32_t>(damage);
    for (int i = 0; i < 24; ++i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      bytes[state % bytes.size()] = static_cast<char>(state >> 24);
    }
    const std::string video = (folder / "damaged" + std::to_string(damage) + ".mp4");
    const std::string out = (folder / "out" + std::to_string(damage) + ".mp4");
    test_support::writeFile(video, bytes);
    const test_support::ProgramRun outcome = test_support::runProgram(kMatte, {video, out, "fast"});
    ASSERT_TRUE(outcome.exitStatus == 0 || outcome.exitStatus == 1)
        << "damage " << damage << ": " << outcome.standardError;
    if (outcome.exitStatus == 1) {
      EXPECT_NE(outcome.standardError.find("Error: "), std::string::npos) << outcome.standardError;
      EXPECT_FALSE(test_support::exists(out));
    } else {
      EXPECT_TRUE(summaryFields(outcome.standardOutput)) << outcome.standardOutput;
    }
  }
}

// Runs ffmpeg with `arguments` after its usual quiet start, and gives `output`.
std::string madeWithFfmpeg(const std::vector<std::string>& arguments, const std::string& output) {
  std::vector<std::string> all = {"-nostdin", "-v", "error", "-y"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  all.push_back(output);
  const test_support::ProgramRun made = test_support::runProgram("ffmpeg", all);
  EXPECT_EQ(made.exitStatus, 0) << made.standardError;
  return output;
}

TEST(MatteTest, AStopSignalRemovesTheCutOutAndEndsTheRunByThatSignal) {
  test_support::TemporaryFolder folder;
  // Long enough that the run is still going when the signal comes.
  const std::string clip =
      madeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=40", "-c:v", "libx264", "-preset", "ultrafast"},
                     (folder / "long.mp4"));
  const std::pair<int, const char*> signals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
  for (const auto& [signal, name] : signals) {
    const std::string out = (folder / "out.mp4");
    test_support::RunningProgram running(kMatte, {clip, out, "fast"});
    ASSERT_TRUE(running.waitForError("progress 15 ", 300)) << name;
    ASSERT_TRUE(test_support::exists(out));
    running.sendSignal(signal);
    const test_support::ProgramRun outcome = running.finish();
    EXPECT_EQ(outcome.exitStatus, 128 + signal) << name << ": " << outcome.standardError;
    EXPECT_EQ(outcome.standardOutput, "") << name;
    const std::vector<std::string> lines = linesOf(outcome.standardError);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), std::string("Error: stopped by ") + name);
    EXPECT_FALSE(test_support::exists(out)) << name;

    // Nothing is left in the way of a rerun.
    const test_support::ProgramRun rerun = test_support::runProgram(kMatte, {kVideos + "person.mp4", out, "fast"});
    EXPECT_EQ(rerun.exitStatus, 0) << name << ": " << rerun.standardError;
    ASSERT_EQ(::unlink(out.c_str()), 0);
  }
}

TEST(MatteTest, EveryFrameTheSummaryCountsIsShownFromTheFilesStart) {
  test_support::TemporaryFolder folder;
  struct Case {
    const char* name;
    std::string video;
  };
  const Case cases[] = {
      {"plain", kVideos + "person.mp4"},
      // MPEG-TS whose clock wraps a second in: its first frames come before zero.
      {"clock wraps", madeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=1", "-c:v", "libx264", "-preset",
                                      "ultrafast", "-muxdelay", "0", "-output_ts_offset", "95443", "-f", "mpegts"},
                                     (folder / "wraps.ts"))},
      // Starts late: the first frame is shown 1.4 s into the file.
      {"late start", madeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=1", "-c:v", "libx264", "-preset",
                                     "ultrafast", "-f", "mpegts"},
                                    (folder / "late.ts"))},
  };
  for (const Case& c : cases) {
    const std::string out = (folder / std::string(c.name) + ".mp4");
    const test_support::ProgramRun outcome = test_support::runProgram(kMatte, {c.video, out, "fast"});
    ASSERT_EQ(outcome.exitStatus, 0) << c.name << ": " << outcome.standardError;
    const std::optional<std::vector<std::string>> field = summaryFields(outcome.standardOutput);
    ASSERT_TRUE(field) << outcome.standardOutput;
    EXPECT_EQ(std::stoul((*field)[0]), 25u + 25u * (std::string(c.name) == "plain")) << c.name;
    // Decoded as a player decodes it, edits applied: every counted frame is there.
    EXPECT_EQ(test_support::lumaPlanes(out, 160, 120).size(), std::stoul((*field)[0])) << c.name;
  }
}

TEST(MatteTest, TheLevelFitsTheSizeAndFrameRate) {
  // The time scale of these tracks is 12800: a level taken from it would be 6.2 for any size.
  test_support::TemporaryFolder folder;
  struct Case {
    std::string size;
    int highestLevel;  // ten times the level
  };
  const Case cases[] = {{"1280x720", 40}, {"160x120", 21}};
  for (const Case& c : cases) {
    const std::string clip = madeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=" + c.size + ":r=25:d=0.2", "-c:v",
                                             "libx264", "-preset", "ultrafast", "-video_track_timescale", "12800"},
                                            (folder / c.size + ".mp4"));
    const std::string out = (folder / "cut_" + c.size + ".mp4");
    const test_support::ProgramRun outcome = test_support::runProgram(kMatte, {clip, out, "fast"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.standardError;
    test_support::Fields stream = test_support::probe(out)->streams.at(0);
    EXPECT_EQ(stream["time_base"], "1/12800");
    EXPECT_LE(std::stoi(stream["level"]), c.highestLevel) << c.size;
  }
}

TEST(MatteTest, ASummaryThatCannotBeWrittenIsAFailure) {
  const struct {
    const char* name;
    test_support::RunOptions options;
  } outputs[] = {
      {"full disk", test_support::RunOptions().standardOutputTo("/dev/full")},
      {"reader gone", test_support::RunOptions().withOutputReaderGone()},
  };
  for (const auto& output : outputs) {
    test_support::TemporaryFolder folder;
    const std::string out = (folder / "out.mp4");
    const test_support::ProgramRun outcome =
        test_support::runProgram(kMatte, {kVideos + "person.mp4", out, "fast"}, output.options);
    EXPECT_EQ(outcome.exitStatus, 1) << output.name;
    EXPECT_TRUE(outcome.standardError.ends_with("Error: the summary could not be written\n"))
        << output.name << ": " << outcome.standardError;
    EXPECT_TRUE(test_support::exists(out)) << output.name;  // the cut-out itself is complete and stays
  }
}

// Started with standard output and error closed, the cut-out must not take their descriptors and
// receive the progress lines and the summary meant for them.
TEST(MatteTest, ClosedStandardStreamsLeaveTheVideoWhole) {
  test_support::TemporaryFolder folder;
  const std::string out = (folder / "out.mp4");
  const test_support::ProgramRun outcome =
      test_support::runProgram(kMatte, {kVideos + "person.mp4", out, "fast"},
                               test_support::RunOptions().withoutStandardOutput().withoutStandardError());
  EXPECT_EQ(outcome.exitStatus, 1);  // the summary had nowhere to go
  const std::optional<test_support::ProbedVideo> probed = test_support::probe(out);
  ASSERT_TRUE(probed);
  EXPECT_EQ(probed->frames.size(), 50u);
}

}  // namespace
