// One picture's lines on their way through the readers of every script: the recogniser's first
// reading of each line, then Tesseract's readers for the lines it leaves unsettled, the Latin
// model for the Latin lines it doubts, and the model of the picture's Latin language. Used by
// the text service (text_service.h); one reader per picture, on the calling thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"
#include "platform/vision/text/ctc_decoding.h"
#include "platform/vision/text/line_choice.h"
#include "platform/vision/text/neural_text_reader.h"
#include "platform/vision/text/tesseract_reader.h"
#include "platform/vision/text/text_model_inputs.h"
#include "platform/vision/text/text_scripts.h"
#include "platform/vision/text/text_service.h"

namespace platform::vision {

// Lines read with less confidence than this are left out: in photos they are leaves, edges and
// textures that sparse segmentation took for text, rarely real text.
inline constexpr float kLeastLineConfidence = 0.5f;

// Lines whose detected box is at most this many pixels high are small print, which the
// recogniser (reading at 48 pixels) misreads letter pairs of ("retum" for "return").
inline constexpr double kSmallPrintBox = 32;

// Keeps OpenMP to the calling thread while Tesseract runs: its parallel loops cost more in
// waiting threads than they win on small pictures, and the machine is shared.
class SingleThreaded {
 public:
  SingleThreaded();
  ~SingleThreaded();
  SingleThreaded(const SingleThreaded&) = delete;
  SingleThreaded& operator=(const SingleThreaded&) = delete;

 private:
  int saved_;
};

struct Trial {
  TextScript script;
  LineReading reading;
};

struct PictureLine {
  DetectedLine detected;
  NeuralLine neural;
  LineReading reading;                 // the best so far
  std::optional<TextScript> script;    // once settled or confirmed
  std::vector<TextScript> candidates;  // to try while unsettled
  std::optional<LineReading> latinReading;  // Tesseract's Latin model's, once read
  std::vector<TextScript> tried;           // the scripts whose readers read the line
  std::vector<Trial> trials;               // their readings in the script
  bool sure = false;                       // the last trial's reader is sure of the line
  // The words (places in the recogniser's reading) that may be another alphabet read as Latin
  // letters (foreignWords): the line is then Latin only where the Latin reader reads them as
  // words, or no other reader is sure of it.
  std::vector<size_t> foreign;
  std::optional<GreyImage> forTesseract;
  // Small print's recogniser steps, each with its likeliest classes: other spellings of its
  // words (word_respelling.h).
  std::vector<StepChoices> stepChoices;
};

// The lines of one picture. Tesseract's engines are taken (and locked, for the reader's life)
// only when a line needs one.
class PictureReader {
 public:
  PictureReader(const media::ImageView& image, const TextRecognitionOptions& options, const Alphabet& alphabet,
                std::vector<PictureLine> lines)
      : image_(image), options_(options), alphabet_(alphabet), lines_(std::move(lines)) {}

  // Latin lines with words that may be another alphabet's letters read as Latin ones, left
  // unsettled for the readers of the scripts whose letters the recogniser reads so.
  Result<void> doubtForeignWords();
  // Every line the first reading leaves unsettled, read by the readers of its likely scripts
  // until one confirms it.
  Result<void> readUnsettledLines();
  // In a picture with Cyrillic or Greek lines, its Latin lines read again by that script's
  // reader: words such as "Касса" look Latin throughout.
  Result<void> readLookalikesAgain();
  // In a picture with lines of a script unlike Latin (Arabic, Thai, Hangul), its Latin lines
  // with a word the recogniser doubted read again by that script's reader: a mixed sign's word
  // of the script read as Latin letters ("Restaurant poho" beside "مطار Airport").
  Result<void> readSeenScriptsAgain();
  // In a picture with kana, its lines the recogniser read as Han read by the Japanese reader:
  // kept where that adds only the kana the recogniser cannot write ("お手洗い" for "手洗").
  Result<void> readHanLinesAsJapanese();
  // Latin lines with words that the Latin word list lacks and that Cyrillic letters could have
  // been read as, read by the Cyrillic reader: kept where its words are in its word lists. A sign
  // whose every line mixes Russian with English shows no other sign of Cyrillic.
  Result<void> readHiddenCyrillic();
  // Latin lines the recogniser doubts, or whose language has letters it lacks, read again by
  // Tesseract's Latin model.
  Result<void> readLatinAgain();
  // Lines of small print with words the Latin word lists lack, read again by the Latin model,
  // whose reading replaces the recogniser's where it mends just those words.
  Result<void> mendSmallPrintWords();
  Result<void> respellSmallPrintWords();
  // The picture's Latin lines read again by their language's model, when their accents name one.
  Result<void> correctLatinLanguage();

  std::vector<TextObservation> observations();

 private:
  Result<tesseract::TessBaseAPI*> engine(const std::string& models);
  std::optional<TesseractReading> readWith(tesseract::TessBaseAPI& engine, PictureLine& line);
  // Tesseract's Latin model's reading of the line (read once); nothing when it has none.
  Result<std::optional<LineReading>> readWithLatin(size_t index);
  // The Latin reading replaces the line's where it is the better one (line_choice.h).
  void chooseLatinReading(PictureLine& line);
  // Reads the line with the readers of `scripts` not tried yet, `most` of them at most, until one
  // is sure of it.
  Result<void> tryReaders(size_t index, const std::vector<TextScript>& scripts, size_t most);
  // Whether the Latin reading of a line with foreign words reads each of them as another word,
  // one of the Latin word lists: the recogniser misread Latin letters it lacks ("lgi" for "lợi").
  Result<bool> latinReadsForeignWords(const PictureLine& line, const LineReading& latin);
  // Whether a reading keeps every English word the recogniser read surely in the line.
  static bool keepsEnglish(const PictureLine& line, const std::string& reading);
  // How many words of `text` in `script`'s letters the word lists of its reader hold.
  Result<size_t> knownWords(TextScript script, const std::string& text);
  // The line's script and reading from its trials.
  Result<void> settle(PictureLine& line);
  // Of two unsure readings of a line by the Cyrillic and the Greek reader, each reads the other's
  // letters about as surely: the one whose words its reader's word lists hold more of is right
  // ("Τουαλέτες στον πρώτο" against "Торадетес отоу"), and its script counts as found in the
  // picture; `chosen` on a tie.
  Result<const Trial*> rivalWithKnownWords(const PictureLine& line, const Trial& chosen);
  // The reading of the line by `script`'s reader, when it reads the line in that script.
  Result<std::optional<LineReading>> readAs(TextScript script, size_t index);
  bool latinLine(const PictureLine& line) const { return line.script == TextScript::latin; }

  const media::ImageView& image_;
  const TextRecognitionOptions& options_;
  const Alphabet& alphabet_;
  std::vector<PictureLine> lines_;
  std::vector<TextScript> seen_;  // scripts the readers confirmed, in the order found
  bool accentsSeen_ = false;
  std::unique_lock<std::mutex> hold_;
  std::optional<SingleThreaded> oneThread_;
};

}  // namespace platform::vision
