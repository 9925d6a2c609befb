#include "platform/vision/text/picture_reader.h"

#include <omp.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <cmath>

#include "platform/vision/text/english_words.h"
#include "platform/vision/text/latin_languages.h"
#include "platform/vision/text/line_scripts.h"
#include "platform/vision/text/text_boxes.h"
#include "platform/vision/text/text_models.h"
#include "platform/vision/text/word_respelling.h"

namespace platform::vision {

namespace {

using tesseract::TessBaseAPI;

// Lines are cut out for Tesseract at this height: its boxes hold the text with a margin of about
// half its height, which leaves letters of the size Tesseract reads best.
constexpr int kTesseractLineHeight = 64;
constexpr int kLongestTesseractLine = 8000;
// Of the line's height, above and below: more reaches into the next line of small print. Half
// the height goes on either end.
constexpr double kTesseractMargin = 0.15;

// A script's reader confirms a line is in its script when it reads the line at least this
// surely, in that script's letters. The right reader reads the signs of the sign sets at 0.85
// to 0.96; a wrong one mostly below 0.75.
constexpr float kSureReading = 0.85f;
// Tesseract's Latin model reads Cyrillic and Greek at 0.65 at most (lookalike words aside), and
// Latin text that the recogniser doubted at 0.75 and more. A script already found in the picture
// needs as much to be believed again.
constexpr float kSureLatinReading = 0.75f;
constexpr float kSureSeenReading = 0.75f;
// Readers tried on one line at most: the likeliest scripts come first, and a sign's other lines
// have usually shown its script by then.
constexpr size_t kMostReadersPerLine = 4;
// The scripts whose letters the recogniser reads as Latin words it doubts, for lines with such
// words, the likeliest first (Latin itself first: most such words are Latin letters it lacks).
constexpr TextScript kForeignCandidates[] = {TextScript::latin, TextScript::arabic, TextScript::thai,
                                             TextScript::greek, TextScript::cyrillic, TextScript::hangul};
// Two readings' confidences this close say nothing about which is right.
constexpr float kCloseConfidence = 0.03f;

// The axis-aligned bounds of `box` (picture pixels) inside the picture, in the normalised frame.
NormalizedRect normalizedBounds(const RotatedRect& box, int width, int height) {
  const Corners corners = cornersOf(box);
  double left = width, right = 0, top = height, bottom = 0;
  for (const PicturePoint& p : corners.points) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  left = std::clamp(left, 0.0, double(width));
  right = std::clamp(right, left, double(width));
  top = std::clamp(top, 0.0, double(height));
  bottom = std::clamp(bottom, top, double(height));
  return NormalizedRect{left / width, (height - bottom) / height, (right - left) / width, (bottom - top) / height};
}

// Whether one written word (the punctuation around it aside) is in the reader's word lists, as
// written or in lower case.
bool isListedWord(TessBaseAPI& reader, const std::string& written) {
  const std::vector<std::string> words = wordsForLookUp(written);
  return words.size() == 1 && (inWordList(reader, words.front()) || inWordList(reader, lowerCased(words.front())));
}

// The other alphabet whose letters look like this one's, if any.
std::optional<TextScript> lookalikeRival(TextScript script) {
  if (script == TextScript::cyrillic) return TextScript::greek;
  if (script == TextScript::greek) return TextScript::cyrillic;
  return std::nullopt;
}

// Whether the Latin reading `latin` is another alphabet's words in lookalike letters, as
// `other` reads them: where `other` writes a word in its own letters, that word is in the other
// reader's word lists, or the Latin reading's word is not in the Latin model's.
// Whether `text` holds a word of at least two letters in `script`.
bool holdsWordOf(TextScript script, const std::string& text) {
  const std::vector<std::string> words = wordsForLookUp(text);
  return std::any_of(words.begin(), words.end(), [&](const std::string& word) {
    return codePoints(word).size() >= 2 && scriptOfLine(word) == script;
  });
}

bool lookalikesOf(const LineReading& latin, const LineReading& other, TessBaseAPI& latinReader,
                  TessBaseAPI& otherReader) {
  const std::vector<std::string> a = wordsForLookUp(latin.text), b = wordsForLookUp(other.text);
  if (a.size() != b.size()) return other.confidence > latin.confidence;
  bool otherLetters = false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (scriptOfLine(b[i]) == TextScript::latin) continue;
    otherLetters = true;
    if (inWordList(otherReader, b[i]) || !inWordList(latinReader, a[i])) return true;
  }
  return otherLetters && other.confidence > latin.confidence;
}

}  // namespace

SingleThreaded::SingleThreaded() : saved_(omp_get_max_active_levels()) { omp_set_max_active_levels(0); }
SingleThreaded::~SingleThreaded() { omp_set_max_active_levels(saved_); }

Result<TessBaseAPI*> PictureReader::engine(const std::string& models) {
  TesseractEngines& engines = TesseractEngines::shared();
  if (!hold_.owns_lock()) {
    hold_ = std::unique_lock<std::mutex>(engines.lock());
    oneThread_.emplace();
  }
  return engines.engine(models, options_.usesLanguageCorrection);
}

std::optional<TesseractReading> PictureReader::readWith(TessBaseAPI& engine, PictureLine& line) {
  if (!line.forTesseract) {
    // Tesseract wants some background around the letters: the detector's box is drawn close.
    const RotatedRect& box = line.detected.box;
    const RotatedRect margined = withMargins(box, kTesseractMargin, 0.5, image_.width, image_.height);
    // The letters at the height Tesseract reads best, whatever the margins the picture left room for.
    const int height = static_cast<int>(std::lround(kTesseractLineHeight * margined.height / box.height));
    line.forTesseract = darkTextOnLight(straightenedLine(image_, margined, height, kLongestTesseractLine));
  }
  return readLineWithTesseract(engine, *line.forTesseract);
}

Result<std::optional<LineReading>> PictureReader::readWithLatin(size_t index) {
  PictureLine& line = lines_[index];
  if (line.latinReading) return line.latinReading;
  const std::optional<std::string> models =
      scriptReaderModels(TextScript::latin, TesseractEngines::shared().installedModels());
  if (!models) return std::optional<LineReading>();
  Result<TessBaseAPI*> latin = engine(*models);
  if (!latin) return latin.error();
  const std::optional<TesseractReading> read = readWith(*latin.value(), line);
  line.latinReading = read ? LineReading{withoutEdgeMarks(read->text), read->confidence, read->confidence,
                                         read->leastWordConfidence}
                           : LineReading{};
  return line.latinReading;
}

void PictureReader::chooseLatinReading(PictureLine& line) {
  if (!line.latinReading || !prefersSecondReading(line.reading, *line.latinReading, alphabet_)) return;
  accentsSeen_ = accentsSeen_ || writesBeyond(*line.latinReading, alphabet_) ||
                 addsAccents(line.reading, *line.latinReading);
  line.reading = *line.latinReading;
}

Result<std::optional<LineReading>> PictureReader::readAs(TextScript script, size_t index) {
  PictureLine& line = lines_[index];
  if (script == TextScript::latin) {
    Result<std::optional<LineReading>> latin = readWithLatin(index);
    if (!latin) return latin.error();
    if (!latin.value() || scriptOfLine(latin.value()->text) != TextScript::latin) return std::optional<LineReading>();
    return latin.value();
  }
  // The language's own model first; where that is unsure or the recogniser read English words in
  // the line, with English after it: signs mix in English words, which the language's model
  // misreads, while English, always there, now and then takes a word of a line that has none.
  // Then the same with Ukrainian first, where Ukrainian letters show. The reading that keeps the
  // English the recogniser read wins, else the surer.
  const std::vector<std::string>& installed = TesseractEngines::shared().installedModels();
  std::vector<std::string> used;
  std::optional<TesseractReading> read;
  // The engines that read the line: a word any of their lists holds is the script's own (with
  // Russian and Ukrainian both read, "напої" is a word though the reading's engine is Russian's).
  std::vector<TessBaseAPI*> readers;
  // The English words the recogniser read (it reads them well) that a reading keeps.
  const RecognisedWords first{line.neural.text, line.neural.wordConfidences};
  auto englishKept = [&](const TesseractReading& reading) { return sharedPlainWords(first, reading.text); };
  auto writtenIn = [&](const std::string& text) {
    const std::optional<TextScript> written = scriptOfLine(text);
    return written == script || (script == TextScript::japanese && written == TextScript::han);
  };
  auto readBy = [&](const std::optional<std::string>& models) -> Result<void> {
    if (!models || std::find(used.begin(), used.end(), *models) != used.end()) return {};
    used.push_back(*models);
    Result<TessBaseAPI*> reader = engine(*models);
    if (!reader) return reader.error();
    readers.push_back(reader.value());
    const std::optional<TesseractReading> next = readWith(*reader.value(), line);
    if (!next) return {};
    // With English among its models, a reader now and then reads the whole line as English
    // letters ("Airport jlho" for "مطار Airport"): no reading of the script, however much
    // English it keeps.
    if (!writtenIn(next->text)) return {};
    const size_t kept = englishKept(*next), before = read ? englishKept(*read) : 0;
    if (!read || kept > before || (kept == before && next->confidence > read->confidence)) read = next;
    return {};
  };
  const bool english = showsEnglishWords(first);
  for (const std::string_view language : {std::string_view(), std::string_view("ukr")}) {
    // Ukrainian first only where a reading so far writes Ukrainian letters.
    if (!language.empty() && (script != TextScript::cyrillic || !read || !writesUkrainian(read->text))) break;
    if (Result<void> done = readBy(scriptReaderModels(script, installed, false, language)); !done) return done.error();
    if (read && read->confidence >= kSureReading && !english) continue;
    if (Result<void> done = readBy(scriptReaderModels(script, installed, true, language)); !done) return done.error();
  }
  if (!read) return std::optional<LineReading>();
  if (english && !rightToLeft(script)) {
    const std::optional<std::string> latinModels = scriptReaderModels(TextScript::latin, installed);
    Result<TessBaseAPI*> latinReader = latinModels ? engine(*latinModels) : Result<TessBaseAPI*>(nullptr);
    if (!latinReader) return latinReader.error();
    if (latinReader.value() != nullptr) {
      read->text = withRecognisedEnglish(
          read->text, first,
          [&](const std::string& word) {
            return std::any_of(readers.begin(), readers.end(), [&](TessBaseAPI* r) { return inWordList(*r, word); });
          },
          [&](const std::string& word) { return inWordList(*latinReader.value(), word); });
    }
  }
  if (!writtenIn(read->text)) return std::optional<LineReading>();
  if (!plausibleReading(read->text)) return std::optional<LineReading>();
  return std::optional<LineReading>(LineReading{read->text, read->confidence, read->confidence, read->leastWordConfidence});
}

bool PictureReader::keepsEnglish(const PictureLine& line, const std::string& reading) {
  const RecognisedWords first{line.neural.text, line.neural.wordConfidences};
  return sharedPlainWords(first, reading) >= sureEnglishWords(first);
}

Result<bool> PictureReader::latinReadsForeignWords(const PictureLine& line, const LineReading& latin) {
  const std::optional<std::string> models = scriptReaderModels(TextScript::latin, TesseractEngines::shared().installedModels());
  if (!models) return false;
  Result<TessBaseAPI*> reader = engine(*models);
  if (!reader) return reader.error();
  const std::vector<std::string> first = wordsAtSpaces(line.neural.text), second = wordsAtSpaces(latin.text);
  // A word the Latin model doubts too is no word it found ("mvd" for "ทางเข้า").
  if (first.size() != second.size() || latin.leastWordConfidence < kSureLatinReading) return false;
  for (size_t place : line.foreign) {
    if (place >= first.size()) return false;
    const std::vector<std::string> was = wordsForLookUp(first[place]), read = wordsForLookUp(second[place]);
    if (read.size() != 1 || (was.size() == 1 && lowerCased(was.front()) == lowerCased(read.front()))) return false;
    if (!inWordList(*reader.value(), read.front()) && !inWordList(*reader.value(), lowerCased(read.front()))) {
      return false;
    }
  }
  return true;
}

Result<void> PictureReader::doubtForeignWords() {
  const std::optional<std::string> models = scriptReaderModels(TextScript::latin, TesseractEngines::shared().installedModels());
  if (!models) return {};
  for (PictureLine& line : lines_) {
    const bool latinOnly = line.script == TextScript::latin ||
                           (!line.script && line.candidates.size() == 1 && line.candidates.front() == TextScript::latin);
    // Lines the detector doubts are as often textures as text: their first reading stands.
    if ((line.script && !latinOnly) || scriptOfLine(line.neural.text) != TextScript::latin ||
        line.detected.score < kLikelyTextLine || line.neural.leastWordConfidence >= kSureEnglishWord) {
      continue;
    }
    Result<TessBaseAPI*> latin = engine(*models);
    if (!latin) return latin.error();
    const RecognisedWords first{line.neural.text, line.neural.wordConfidences};
    line.foreign = foreignWords(first, [&](const std::string& word) { return inWordList(*latin.value(), word); });
    if (line.foreign.empty()) continue;
    line.script.reset();
    // Lines the first reading doubted already have every script among their candidates.
    if (latinOnly) line.candidates.assign(std::begin(kForeignCandidates), std::end(kForeignCandidates));
  }
  return {};
}

Result<size_t> PictureReader::knownWords(TextScript script, const std::string& text) {
  const std::optional<std::string> models =
      scriptReaderModels(script, TesseractEngines::shared().installedModels());
  if (!models) return size_t{0};
  Result<TessBaseAPI*> reader = engine(*models);
  if (!reader) return reader.error();
  size_t known = 0;
  for (const std::string& word : wordsForLookUp(text)) {
    if (scriptOfLine(word) != script || (script == TextScript::greek && unstressedGreekWord(word))) continue;
    if (isListedWord(*reader.value(), word)) ++known;
  }
  return known;
}

Result<void> PictureReader::tryReaders(size_t index, const std::vector<TextScript>& scripts, size_t most) {
  PictureLine& line = lines_[index];
  for (TextScript script : scripts) {
    if (line.sure || most == 0) break;
    if (std::find(line.tried.begin(), line.tried.end(), script) != line.tried.end()) continue;
    --most;
    line.tried.push_back(script);
    Result<std::optional<LineReading>> read = readAs(script, index);
    if (!read) return read.error();
    if (!read.value()) continue;
    line.trials.push_back(Trial{script, *read.value()});
    // A script already found in the picture needs less to be believed again.
    const bool seen = std::find(seen_.begin(), seen_.end(), script) != seen_.end();
    const float sure = seen ? kSureSeenReading : script == TextScript::latin ? kSureLatinReading : kSureReading;
    if (read.value()->confidence < sure) continue;
    // The Latin model reads Cyrillic lookalikes surely too ("Kacca HOMep TpH").
    if (script == TextScript::latin && lookalikeWords(read.value()->text) > 0) continue;
    // Cyrillic and Greek readers read an English "A" as their own lookalike letter, as surely as
    // the rest of the English they keep: a reading whose only words in their letters are single
    // letters shows nothing of their script (one such line of a long English page made every
    // other line doubt its "a", "on" and "of").
    if (lookalikeRival(script) && !holdsWordOf(script, read.value()->text)) continue;
    // Of a line with foreign words, the Latin model reads another alphabet's word as the same
    // Latin letters the recogniser did, just as surely ("Airport jlho"); and the reader of an
    // alphabet unlike Latin is right only where it keeps the English the recogniser read surely
    // beside them (Cyrillic and Greek words read surely as Latin are their own: "Kacca").
    if (!line.foreign.empty() && script == TextScript::latin) {
      Result<bool> reads = latinReadsForeignWords(line, *read.value());
      if (!reads) return reads.error();
      if (!reads.value()) continue;
    }
    if (!line.foreign.empty() && script != TextScript::latin && !lookalikeRival(script) &&
        !keepsEnglish(line, read.value()->text)) {
      continue;
    }
    line.sure = true;
    // Cyrillic and Greek share letter shapes, and each one's reader reads the other's words
    // surely enough in part: the first time, both read the line and the surer one wins.
    const std::optional<TextScript> rival = lookalikeRival(script);
    if (rival && !seen && std::find(seen_.begin(), seen_.end(), *rival) == seen_.end() &&
        std::find(line.tried.begin(), line.tried.end(), *rival) == line.tried.end()) {
      line.tried.push_back(*rival);
      Result<std::optional<LineReading>> other = readAs(*rival, index);
      if (!other) return other.error();
      if (other.value()) {
        // The reading whose words its reader's word lists hold wins ("Аєроброшо" is no Russian
        // word, "Αεροδρόμιο" a Greek one); else the surer.
        Result<size_t> ownWords = knownWords(script, read.value()->text);
        if (!ownWords) return ownWords.error();
        Result<size_t> rivalWords = knownWords(*rival, other.value()->text);
        if (!rivalWords) return rivalWords.error();
        if (rivalWords.value() > ownWords.value() ||
            (rivalWords.value() == ownWords.value() && other.value()->confidence > read.value()->confidence)) {
          line.trials.push_back(Trial{*rival, *other.value()});
        }
      }
    }
  }
  if (line.sure) {
    const TextScript found = line.trials.back().script;
    if (found != TextScript::latin && std::find(seen_.begin(), seen_.end(), found) == seen_.end()) {
      seen_.push_back(found);
    }
  }
  return {};
}

Result<const Trial*> PictureReader::rivalWithKnownWords(const PictureLine& line, const Trial& chosen) {
  const std::optional<TextScript> rival = lookalikeRival(chosen.script);
  if (!rival) return &chosen;
  const Trial* other = nullptr;
  for (const Trial& trial : line.trials) {
    if (trial.script == *rival && trial.reading.confidence >= kLeastLineConfidence &&
        keepsEnglish(line, trial.reading.text)) {
      other = &trial;
    }
  }
  if (!other) return &chosen;
  Result<size_t> chosenWords = knownWords(chosen.script, chosen.reading.text);
  if (!chosenWords) return chosenWords.error();
  Result<size_t> otherWords = knownWords(other->script, other->reading.text);
  if (!otherWords) return otherWords.error();
  if (otherWords.value() == chosenWords.value()) return &chosen;
  const Trial* winner = otherWords.value() > chosenWords.value() ? other : &chosen;
  // Words of its language tell the script as surely as a sure reader does: the picture's other
  // lines are read by it too.
  if (std::find(seen_.begin(), seen_.end(), winner->script) == seen_.end()) seen_.push_back(winner->script);
  return winner;
}

Result<void> PictureReader::settle(PictureLine& line) {
  const Trial* chosen = nullptr;
  const Trial* latin = nullptr;
  for (const Trial& trial : line.trials) {
    if (trial.script == TextScript::latin) latin = &trial;
    // A reading too unsure to be shown, or one that drops the English the recogniser read
    // surely, is no better than the first ("ห้องนําโอและ" for "ห้องน้ำ Toilet").
    if (trial.reading.confidence < kLeastLineConfidence || !keepsEnglish(line, trial.reading.text)) continue;
    if (!chosen || trial.reading.confidence > chosen->reading.confidence) chosen = &trial;
  }
  if (line.sure) chosen = &line.trials.back();
  if (!line.sure && chosen) {
    Result<const Trial*> known = rivalWithKnownWords(line, *chosen);
    if (!known) return known.error();
    chosen = known.value();
  }
  // No reader is sure: a script the picture's other lines showed, where its reader is trusted at
  // all; else a plain Latin reading (no lookalike words) where Latin's is, since another
  // alphabet's reader, reading Latin, mixes its own letters in.
  const Trial* seen = nullptr;
  for (const Trial& trial : line.trials) {
    if (std::find(seen_.begin(), seen_.end(), trial.script) == seen_.end() || !keepsEnglish(line, trial.reading.text)) {
      continue;
    }
    if (trial.reading.confidence >= kTrustedSecondReading && (!seen || trial.reading.confidence > seen->reading.confidence)) {
      seen = &trial;
    }
  }
  // A plain Latin first reading that the recogniser was surer of than any reader of another
  // script was of its own: code and marks ("> > markers = np.zeros"), which a reader of Thai or
  // Arabic dresses in its own letters at lower confidence.
  const bool plainLatinFirst = scriptOfLine(line.neural.text) == TextScript::latin &&
                               lookalikeWords(line.neural.text) == 0 && line.neural.confidence >= kPlainLatinReading;
  if (!line.sure && seen) {
    chosen = seen;
  } else if (!line.sure && plainLatinFirst && (!chosen || chosen->reading.confidence < line.neural.confidence)) {
    line.script = TextScript::latin;
    if (latin) chooseLatinReading(line);
    return {};
  } else if (!line.sure && latin && latin->reading.confidence >= kTrustedSecondReading &&
             lookalikeWords(latin->reading.text) == 0) {
    chosen = latin;
  }
  if (!chosen) {
    line.script = scriptOfLine(line.reading.text);
    return {};
  }
  line.script = chosen->script;
  if (chosen->script == TextScript::latin) {
    chooseLatinReading(line);
  } else {
    line.reading = chosen->reading;
  }
  return {};
}

Result<void> PictureReader::readUnsettledLines() {
  std::vector<size_t> unsettled;
  for (size_t index = 0; index < lines_.size(); ++index) {
    if (!lines_[index].script) unsettled.push_back(index);
  }
  // Lines whose first reading holds letters of another script than Latin and Han (the
  // recogniser's few Greek, Cyrillic, kana and hangul) tell the picture's script best: they go
  // first, and their script comes first for the others.
  auto telling = [&](size_t index) {
    const ScriptCounts counts = countScripts(lines_[index].neural.text);
    return counts.total() > counts[TextScript::latin] + counts[TextScript::han];
  };
  std::stable_partition(unsettled.begin(), unsettled.end(), telling);
  for (size_t index : unsettled) {
    std::vector<TextScript> candidates = seen_;
    for (TextScript script : lines_[index].candidates) {
      if (std::find(candidates.begin(), candidates.end(), script) == candidates.end()) candidates.push_back(script);
    }
    if (Result<void> done = tryReaders(index, candidates, kMostReadersPerLine); !done) return done;
  }
  // Lines no reader was sure of, read again by the scripts their picture turned out to have.
  for (size_t index : unsettled) {
    if (Result<void> done = tryReaders(index, seen_, seen_.size()); !done) return done;
    if (Result<void> done = settle(lines_[index]); !done) return done;
  }
  return {};
}

Result<void> PictureReader::readHiddenCyrillic() {
  if (std::find(seen_.begin(), seen_.end(), TextScript::cyrillic) != seen_.end()) return {};
  const std::vector<std::string>& installed = TesseractEngines::shared().installedModels();
  const std::optional<std::string> latinModels = scriptReaderModels(TextScript::latin, installed);
  const std::optional<std::string> cyrillicModels = scriptReaderModels(TextScript::cyrillic, installed);
  if (!latinModels || !cyrillicModels) return {};
  for (size_t index = 0; index < lines_.size(); ++index) {
    PictureLine& line = lines_[index];
    if (line.script != TextScript::latin) continue;
    // The recogniser reads Cyrillic lookalikes as surely as Latin words: its doubtful words are
    // misread Latin ones ("Fark" for "Park") as often as not.
    std::vector<std::string> words;
    const std::vector<std::string> read = wordsAtSpaces(line.neural.text);
    for (size_t i = 0; i < read.size() && i < line.neural.wordConfidences.size(); ++i) {
      if (line.neural.wordConfidences[i] < kSureEnglishWord) continue;
      for (std::string& word : wordsForLookUp(read[i])) words.push_back(std::move(word));
    }
    if (std::none_of(words.begin(), words.end(), [](const std::string& w) { return cyrillicLookalikeWord(w); })) {
      continue;
    }
    Result<TessBaseAPI*> latinReader = engine(*latinModels);
    if (!latinReader) return latinReader.error();
    const bool suspect = std::any_of(words.begin(), words.end(), [&](const std::string& w) {
      return cyrillicLookalikeWord(w) && !isListedWord(*latinReader.value(), w);
    });
    if (!suspect) continue;
    Result<std::optional<LineReading>> other = readAs(TextScript::cyrillic, index);
    if (!other) return other.error();
    if (!other.value() || other.value()->confidence < kSureSeenReading) continue;
    Result<TessBaseAPI*> cyrillicReader = engine(*cyrillicModels);
    if (!cyrillicReader) return cyrillicReader.error();
    // Every Cyrillic word of the reading is a word of the language: a reader of the wrong script
    // writes its letters, not its words.
    size_t cyrillicWords = 0;
    bool allKnown = true;
    for (const std::string& word : wordsForLookUp(other.value()->text)) {
      if (scriptOfLine(word) != TextScript::cyrillic) continue;
      ++cyrillicWords;
      allKnown = allKnown && isListedWord(*cyrillicReader.value(), word);
    }
    if (cyrillicWords == 0 || !allKnown) continue;
    line.script = TextScript::cyrillic;
    line.reading = *other.value();
    if (std::find(seen_.begin(), seen_.end(), TextScript::cyrillic) == seen_.end()) seen_.push_back(TextScript::cyrillic);
  }
  return {};
}

Result<void> PictureReader::readSeenScriptsAgain() {
  for (TextScript script : seen_) {
    if (script == TextScript::cyrillic || script == TextScript::greek || script == TextScript::latin) continue;
    for (size_t index = 0; index < lines_.size(); ++index) {
      PictureLine& line = lines_[index];
      if (line.script != TextScript::latin || line.detected.score < kLikelyTextLine ||
          line.neural.leastWordConfidence >= kSureEnglishWord ||
          std::find(line.tried.begin(), line.tried.end(), script) != line.tried.end()) {
        continue;
      }
      line.tried.push_back(script);
      Result<std::optional<LineReading>> other = readAs(script, index);
      if (!other) return other.error();
      if (!other.value() || other.value()->confidence < kSureSeenReading || !keepsEnglish(line, other.value()->text)) {
        continue;
      }
      line.script = script;
      line.reading = *other.value();
    }
  }
  return {};
}

Result<void> PictureReader::readHanLinesAsJapanese() {
  // Kana in the picture make its lines of Han characters suspect: they may be kanji whose kana
  // the recogniser left out, unread.
  if (std::find(seen_.begin(), seen_.end(), TextScript::japanese) == seen_.end()) return {};
  for (size_t index = 0; index < lines_.size(); ++index) {
    PictureLine& line = lines_[index];
    if (line.script != TextScript::han || scriptOfLine(line.reading.text) != TextScript::han ||
        std::find(line.tried.begin(), line.tried.end(), TextScript::japanese) != line.tried.end()) {
      continue;
    }
    line.tried.push_back(TextScript::japanese);
    Result<std::optional<LineReading>> japanese = readAs(TextScript::japanese, index);
    if (!japanese) return japanese.error();
    if (!japanese.value() || japanese.value()->confidence < kSureSeenReading ||
        !addsOnlyKana(line.reading.text, japanese.value()->text)) {
      continue;
    }
    line.script = TextScript::japanese;
    line.reading = *japanese.value();
  }
  return {};
}

Result<void> PictureReader::readLookalikesAgain() {
  if (Result<void> done = readHiddenCyrillic(); !done) return done;
  if (Result<void> done = readSeenScriptsAgain(); !done) return done;
  if (Result<void> done = readHanLinesAsJapanese(); !done) return done;
  for (TextScript script : seen_) {
    if (script != TextScript::cyrillic && script != TextScript::greek) continue;
    for (size_t index = 0; index < lines_.size(); ++index) {
      PictureLine& line = lines_[index];
      if (line.script != TextScript::latin) continue;
      Result<std::optional<LineReading>> latin = readWithLatin(index);
      if (!latin) return latin.error();
      Result<std::optional<LineReading>> other = readAs(script, index);
      if (!other) return other.error();
      if (!latin.value() || !other.value() || other.value()->confidence < kSureSeenReading) continue;
      const std::vector<std::string>& installed = TesseractEngines::shared().installedModels();
      Result<TessBaseAPI*> latinReader = engine(*scriptReaderModels(TextScript::latin, installed));
      if (!latinReader) return latinReader.error();
      Result<TessBaseAPI*> otherReader = engine(*scriptReaderModels(script, installed));
      if (!otherReader) return otherReader.error();
      if (other.value()->confidence + kCloseConfidence < latin.value()->confidence) continue;
      if (!lookalikesOf(*latin.value(), *other.value(), *latinReader.value(), *otherReader.value())) continue;
      line.script = script;
      line.reading = *other.value();
    }
  }
  return {};
}

Result<void> PictureReader::readLatinAgain() {
  // Accents in a picture's text say its language has them, and then the recogniser's other
  // Latin lines are suspect too (it reads letters it lacks as their plain forms).
  std::vector<size_t> latin;
  std::vector<LineReading> readings;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!latinLine(lines_[i])) continue;
    latin.push_back(i);
    readings.push_back(lines_[i].reading);
    // Words of a language with accents say as much as accents do.
    accentsSeen_ = accentsSeen_ || accentedLetters(lines_[i].reading.text) > 0 ||
                   (options_.usesLanguageCorrection && namesAnotherLanguage(lines_[i].reading.text));
  }
  for (size_t i : linesWorthReadingAgain(readings)) {
    if (Result<std::optional<LineReading>> done = readWithLatin(latin[i]); !done) return done.error();
    chooseLatinReading(lines_[latin[i]]);
  }
  for (size_t i : latin) {
    if (!accentsSeen_) break;
    if (!inLatinLetters(lines_[i].reading.text) || lines_[i].latinReading) continue;
    if (Result<std::optional<LineReading>> done = readWithLatin(i); !done) return done.error();
    chooseLatinReading(lines_[i]);
  }
  if (Result<void> respelled = respellSmallPrintWords(); !respelled) return respelled.error();
  return mendSmallPrintWords();
}

Result<void> PictureReader::respellSmallPrintWords() {
  if (!options_.usesLanguageCorrection || !haveEnglishWords()) return {};
  // The speller's lists are English: a page in another language keeps its words.
  std::string text;
  for (const PictureLine& line : lines_) {
    if (latinLine(line)) text += line.reading.text + " ";
  }
  if (likelyLatinLanguage(text)) return {};
  const WordCheck isWord = [](const std::string& word) { return isEnglishWord(word); };
  for (PictureLine& line : lines_) {
    if (!latinLine(line) || line.stepChoices.empty() || line.reading.text != line.neural.text) continue;
    line.reading.text = respelledWords(line.reading.text, line.neural.wordSteps, line.stepChoices, alphabet_, isWord);
  }
  return {};
}

Result<void> PictureReader::mendSmallPrintWords() {
  if (!options_.usesLanguageCorrection) return {};
  const std::optional<std::string> models = scriptReaderModels(TextScript::latin, TesseractEngines::shared().installedModels());
  if (!models) return {};
  TessBaseAPI* reader = nullptr;
  auto isWord = [&](const std::string& written) { return isListedWord(*reader, written); };
  for (size_t index = 0; index < lines_.size(); ++index) {
    PictureLine& line = lines_[index];
    if (!latinLine(line) || !inLatinLetters(line.reading.text) || line.detected.box.height > kSmallPrintBox) continue;
    if (!reader) {
      Result<TessBaseAPI*> latin = engine(*models);
      if (!latin) return latin.error();
      reader = latin.value();
    }
    const std::vector<std::string> words = wordsForLookUp(line.reading.text);
    const bool unknown = std::any_of(words.begin(), words.end(), [&](const std::string& word) {
      return codePoints(word).size() >= 3 && !isWord(word);
    });
    if (!unknown) continue;
    Result<std::optional<LineReading>> latin = readWithLatin(index);
    if (!latin) return latin.error();
    if (latin.value() && correctsUnknownWords(line.reading, *latin.value(), isWord)) line.reading = *latin.value();
  }
  return {};
}

Result<void> PictureReader::correctLatinLanguage() {
  // The Latin model's own readings tell the language best: it writes every accent.
  std::string text;
  for (const PictureLine& line : lines_) {
    if (!latinLine(line) || !line.latinReading) continue;
    text += line.latinReading->text + " ";
  }
  const std::optional<std::string> likely = likelyLatinLanguage(text);
  const std::vector<std::string>& installed = TesseractEngines::shared().installedModels();
  if (!likely || std::find(installed.begin(), installed.end(), *likely) == installed.end()) return {};
  const std::string& language = *likely;
  Result<TessBaseAPI*> reader = engine(language);
  if (!reader) return reader.error();
  for (PictureLine& line : lines_) {
    if (!latinLine(line) || !line.latinReading) continue;
    const std::optional<TesseractReading> read = readWith(*reader.value(), line);
    if (!read) continue;
    const LineReading corrected{withoutEdgeMarks(read->text), read->confidence, read->confidence};
    auto isWord = [&](const std::string& written) { return isListedWord(*reader.value(), written); };
    if (prefersLanguageReading(line.reading, corrected, isWord)) line.reading = corrected;
  }
  return {};
}

std::vector<TextObservation> PictureReader::observations() {
  std::vector<TextObservation> out;
  for (PictureLine& line : lines_) {
    if (line.reading.confidence < kLeastLineConfidence || line.reading.text.empty()) continue;
    TextObservation observation;
    observation.boundingBox = normalizedBounds(line.detected.box, image_.width, image_.height);
    observation.candidates.push_back(
        TextCandidate{std::move(line.reading.text), std::clamp(line.reading.confidence, 0.0f, 1.0f)});
    out.push_back(std::move(observation));
  }
  return out;
}

}  // namespace platform::vision
