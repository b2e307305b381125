// Puts a language module's texts onto open windows: for each of our classes
// in a window's class chain, base first, the texts stored under the class
// name overwrite the properties of the components they name. Nothing is
// created; names and properties that are not there are passed over.
#pragma once

#include <QObject>

#include "platform/LanguageModule.h"

class QWidget;

namespace orv {

// Marks the window as done, so that it is not given the texts again when it
// is shown (texts set since, such as a station name, stay).
void ReloadWindowTexts(QWidget& window, const LanguageModule& module);

// Every top-level window of the application.
void ReloadAllWindows(const LanguageModule& module);

// Gives every window the module's texts when it is first shown: windows made
// after start-up (dialogs, extra page windows) read in the language too. The
// module must outlive this object, which removes itself with its parent.
class LanguageForNewWindows : public QObject {
public:
    LanguageForNewWindows(const LanguageModule& module, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const LanguageModule& module_;
};

}  // namespace orv
