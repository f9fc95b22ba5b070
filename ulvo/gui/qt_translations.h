#pragma once

#include <QObject>
#include <string>

namespace ulvo {

// Qt's own texts (the standard buttons of message boxes, the file dialogs) in the language
// of ULVO's translations ("nl", "pt_BR"), so a translated program does not answer in English.
// The translator is a child of owner and leaves with it. False when the language is empty or
// Qt's translations for it are not installed: those texts then stay English.
bool InstallQtTranslations(const std::string& language, QObject* owner);

}  // namespace ulvo
