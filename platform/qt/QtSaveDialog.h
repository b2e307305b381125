// The save dialog as a QFileDialog over the active window.
#pragma once

#include <QStringList>
#include <string_view>

#include "platform/SaveDialog.h"

namespace orv {

// "Textfiles (*.TXT)|*.TXT|All (*.*)|*.*" as Qt's name filters; a description
// that does not show its patterns gets them added in brackets.
QStringList QtNameFilters(std::string_view filter);

class QtSaveDialog : public SaveDialog {
public:
    bool Execute(const SaveDialogSettings& settings, std::string& fileName) override;
};

}  // namespace orv
