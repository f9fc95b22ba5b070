#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "ulvo/shell/translations.h"

namespace ulvo {

// Every visible text of the windows goes through here: the translation of key, or the default.
QString UiText(const Translations& texts, std::string_view key, std::string_view defaultText);
QString UiText(const Translations& texts, const TextId& id);
QString UiText(const Translations& texts, const TransferText& text);
QString UiText(const Translations& texts, const Message& message);

inline QString ToQString(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

}  // namespace ulvo
