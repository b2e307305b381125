#include "platform/qt/QtSaveDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>

namespace orv {

QStringList QtNameFilters(std::string_view filter) {
    const QStringList parts = QString::fromStdString(std::string(filter)).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        filters << (description.contains('(') ? description : description + " (" + patterns + ")");
    }
    return filters;
}

bool QtSaveDialog::Execute(const SaveDialogSettings& settings, std::string& fileName) {
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(settings.Title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Patterns match without regard to case, as they do on the systems the
    // file names come from ("*.TXT" also offers "page.txt").
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setNameFilters(QtNameFilters(settings.Filter));
    dialog.setDefaultSuffix(QString::fromStdString(settings.DefaultExt));
    // The other options need nothing here: the dialog has no read-only box and
    // never changes the working folder, and a name in a folder that does not
    // exist, or of a read-only file, fails quietly when the page is saved.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(settings.Options & kOverwritePrompt));
    dialog.setSizeGripEnabled(settings.Options & kEnableSizing);
    // A wildcard name ("*.TXT") is taken by the dialog as a filter to apply.
    if (!settings.FileName.empty()) dialog.selectFile(QString::fromStdString(settings.FileName));
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    fileName = QFile::encodeName(chosen.front()).toStdString();
    return true;
}

}  // namespace orv
