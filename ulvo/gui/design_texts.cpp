#include "ulvo/gui/design_texts.h"

#include "ulvo/engine/text_codec.h"

namespace ulvo {
namespace {

QString WithArgument(const QString& text, const QString& argument) {
  return QString::fromStdString(FormatMessage(text.toStdString(), argument.toStdString()));
}

}  // namespace

QString CharacterRefusal(const TranslateText& translate, const std::string& character) {
  return WithArgument(
      translate("IDS_DESIGN_CHAR_ERR", "The character %s cannot be stored in a format definition."),
      QString::fromStdString(character));
}

QString IdentifierRefusal(const TranslateText& translate, const std::string& id) {
  if (std::string character = FirstUnstorableCharacter(id); !character.empty()) {
    return CharacterRefusal(translate, character);
  }
  return WithArgument(translate("IDS_IDNAME_INVALID_ERR",
                                "The identifier '%s' cannot be used: it must start with a letter "
                                "or '_' and hold only letters, digits, '_', '-' and '.'."),
                      QString::fromStdString(id));
}

QString ByteRefusal(const TranslateText& translate, char32_t character) {
  const QString named = QStringLiteral("'%1' (U+%2)")
                            .arg(QString::fromUcs4(&character, 1))
                            .arg(QString::number(character, 16).toUpper().rightJustified(4, '0'));
  return WithArgument(translate("IDS_DESIGN_BYTE_ERR",
                                "The character %s has no byte value: literals and fill "
                                "characters hold single bytes (Latin-1)."),
                      named);
}

}  // namespace ulvo
