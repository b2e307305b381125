// The print dialog: lets the user choose and set up the printer a page goes
// to. The window then prints on that printer itself.
#pragma once

class QPrinter;

namespace orv {

class PrintDialog {
public:
    virtual ~PrintDialog() = default;
    // Runs the dialog modally on the printer; true when the user confirmed.
    virtual bool Execute(QPrinter& printer) = 0;
};

// QPrintDialog over the active window.
class QtPrintDialog : public PrintDialog {
public:
    bool Execute(QPrinter& printer) override;
};

}  // namespace orv
