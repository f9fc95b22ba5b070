#pragma once

#include <QString>
#include <functional>
#include <string>

namespace ulvo {

// Looks a translation key up; the default text stands when the key has no translation.
using TranslateText = std::function<QString(const char* key, const QString& defaultText)>;

// No translations file: every text is its default.
inline QString UntranslatedText(const char*, const QString& defaultText) {
  return defaultText;
}

// Where a design panel shows why it refused an edit; an empty text clears it.
using ShowRefusal = std::function<void(const QString& text)>;

// "The character U+0001 cannot be stored in a format definition."
QString CharacterRefusal(const TranslateText& translate, const std::string& character);
// Why an identifier cannot name records and values: a character a file cannot keep, or not
// an XML name.
QString IdentifierRefusal(const TranslateText& translate, const std::string& id);
// "The character '€' (U+20AC) has no byte value: ..." for literals and fill characters.
QString ByteRefusal(const TranslateText& translate, char32_t character);

}  // namespace ulvo
