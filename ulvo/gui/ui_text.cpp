#include "ulvo/gui/ui_text.h"

namespace ulvo {

QString UiText(const Translations& texts, std::string_view key, std::string_view defaultText) {
  return ToQString(texts.Text(key, defaultText));
}

QString UiText(const Translations& texts, const TextId& id) {
  return ToQString(texts.Text(id));
}

QString UiText(const Translations& texts, const TransferText& text) {
  return ToQString(texts.Text(text));
}

QString UiText(const Translations& texts, const Message& message) {
  return ToQString(texts.Text(message));
}

}  // namespace ulvo
