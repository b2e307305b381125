// The save dialog: the window sets the default extension, the filter, the
// title, the initial file name and the options, runs it and gets the name
// the user chose.
#pragma once

#include <string>

namespace orv {

enum SaveDialogOption : unsigned {
    kOverwritePrompt = 1u << 0,   // ask before an existing file is chosen
    kHideReadOnly = 1u << 1,      // no "open read-only" box
    kNoChangeDir = 1u << 2,       // the program's working folder stays as it was
    kPathMustExist = 1u << 3,
    kNoReadOnlyReturn = 1u << 4,
    kEnableSizing = 1u << 5,      // the dialog can be resized
};

struct SaveDialogSettings {
    std::string DefaultExt;  // "TXT": put behind a name typed without one
    std::string Filter;      // "Textfiles (*.TXT)|*.TXT": description | pattern pairs
    std::string Title;
    std::string FileName;    // the name offered at first ("Page123.TXT", "*.TXT")
    unsigned Options = 0;
    bool operator==(const SaveDialogSettings&) const = default;
};

class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // Runs the dialog modally; false when the user cancelled, else the chosen path.
    virtual bool Execute(const SaveDialogSettings& settings, std::string& fileName) = 0;
};

}  // namespace orv
