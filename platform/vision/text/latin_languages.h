// Which language a picture's Latin text is in, as far as its accented letters tell: the
// languages whose Tesseract models (with their word lists) read such text better than the
// general Latin model (ß, ñ, ç and the Vietnamese vowels come back). English writes no accents
// and is never named here. Pure functions; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::vision {

struct LatinLanguage {
  const char* model;    // Tesseract's model (Debian package tesseract-ocr-<model>)
  const char* accents;  // the lower-case accented letters it writes, UTF-8
  // Frequent short words that English does not have, with and without their accents (the
  // recogniser leaves accents out), space-separated.
  const char* words;
};

inline constexpr LatinLanguage kLatinLanguages[] = {
    {"deu", "äöüß", "der und nicht für fur von zum zur bitte ist dem ein eine auf bei nach über oder vom uhr"},
    {"fra", "àâæçéèêëîïôœùûüÿ", "le les des du et au aux est une sur dans avec pas ne vous nous où de la"},
    {"spa", "áéíñóúü", "el los las del y por para al es en una su de la"},
    {"ita", "àèéìíîòóùú", "il di del della dei degli gli una alla al nel è la"},
    {"por", "áâãàçéêíóôõú", "os da das em uma não nao ao pelo pela para de"},
    {"vie", "àáảãạăằắẳẵặâầấẩẫậđèéẻẽẹêềếểễệìíỉĩịòóỏõọôồốổỗộơờớởỡợùúủũụưừứửữựỳýỷỹỵ", "và của không là có cho các một những được"},
};

// Vietnamese is named only when its text shows it: a letter no other language here writes (ă, đ,
// ơ, ư, ỳ ...), or accents on at least this share of the letters (misread Vietnamese keeps its
// density of accents, not always its own letters).
inline constexpr double kVietnameseAccentShare = 0.2;

// The model of the language that best fits `text`: each accented letter counts one for every
// language that writes it and two against every language that does not, each of a language's
// words (above) one for it; the best count above zero wins. Nothing when no language counts above
// zero (English, or too little text to tell) or when languages share the best count (their
// models would correct the text differently).
std::optional<std::string> likelyLatinLanguage(std::string_view text);

// Whether `text` holds words of the languages above that English does not have ("der", "für",
// "les", "del", "não" ...). The recogniser reads such text surely and without its accents
// ("Atencion al cliente"), so its lines are worth reading again.
bool namesAnotherLanguage(std::string_view text);

// The words of `text` as a word list holds them: split at spaces, with the punctuation around
// each taken off; words without letters are left out.
std::vector<std::string> wordsForLookUp(std::string_view text);

}  // namespace platform::vision
