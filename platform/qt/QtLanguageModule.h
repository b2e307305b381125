// Puts a language module's texts onto open windows: for each of our classes
// in a window's class chain, base first, the texts stored under the class
// name overwrite the properties of the components they name. Nothing is
// created; names and properties that are not there are passed over.
#pragma once

#include "platform/LanguageModule.h"

class QWidget;

namespace orv {

void ReloadWindowTexts(QWidget& window, const LanguageModule& module);

// Every top-level window of the application.
void ReloadAllWindows(const LanguageModule& module);

}  // namespace orv
