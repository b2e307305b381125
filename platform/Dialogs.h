// Message boxes. The viewer asks a question or tells something and gets the
// button that was pressed; the window system's boxes carry the German standard
// captions ("Bestätigung", "Information") and buttons ("&Wiederholen",
// "Abbrechen", "OK"), as on the systems the viewer was first written for.
#pragma once

#include <string>
#include <vector>

namespace orv {

enum class DialogKind {
    Confirmation,  // caption "Bestätigung"
    Information,   // caption "Information"
    Plain,         // caption: the application title
};

enum class DialogButton { OK, Retry, Cancel };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows the box modally (worker threads' calls to the UI thread are served
    // meanwhile) and returns the button pressed; closing the box counts as
    // Cancel when there is one, else OK.
    virtual DialogButton MessageBox(DialogKind kind, const std::string& text,
                                    const std::vector<DialogButton>& buttons) = 0;
};

}  // namespace orv
