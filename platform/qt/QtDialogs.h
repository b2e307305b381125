// Message boxes of the window system, with the German standard captions and
// button texts of the systems the viewer was first written for.
#pragma once

#include <QString>

#include "platform/Dialogs.h"

class QWidget;

namespace orv {

inline constexpr char kConfirmationCaption[] = "Bestätigung";
inline constexpr char kInformationCaption[] = "Information";
inline constexpr char kRetryButtonText[] = "&Wiederholen";
inline constexpr char kCancelButtonText[] = "Abbrechen";
inline constexpr char kOkButtonText[] = "OK";

class QtDialogs : public Dialogs {
public:
    // applicationTitle: the caption of plain messages.
    explicit QtDialogs(std::string applicationTitle = "ORV Teletext") : title_(std::move(applicationTitle)) {}
    DialogButton MessageBox(DialogKind kind, const std::string& text,
                            const std::vector<DialogButton>& buttons) override;

private:
    std::string title_;
};

QString DialogCaption(DialogKind kind, const std::string& applicationTitle);

}  // namespace orv
