#pragma once

#include <QString>
#include <functional>

namespace ulvo {

// Looks a translation key up; the default text stands when the key has no translation.
using TranslateText = std::function<QString(const char* key, const QString& defaultText)>;

// No translations file: every text is its default.
inline QString UntranslatedText(const char*, const QString& defaultText) {
  return defaultText;
}

}  // namespace ulvo
