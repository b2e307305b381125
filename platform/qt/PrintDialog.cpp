#include "platform/qt/PrintDialog.h"

#include <QApplication>
#include <QPrintDialog>

namespace orv {

bool QtPrintDialog::Execute(QPrinter& printer) {
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace orv
