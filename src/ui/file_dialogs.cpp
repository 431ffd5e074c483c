#include "ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace sv::ui {

QString matchingPattern(const QString& pattern) {
    if (pattern == QStringLiteral("*.*")) {
        return QStringLiteral("*");
    }
    QString result;
    for (const QChar c : pattern) {
        const QChar lower = c.toLower();
        const QChar upper = c.toUpper();
        if (lower != upper) {
            result += QLatin1Char('[') + upper + lower + QLatin1Char(']');
        } else {
            result += c;
        }
    }
    return result;
}

QString nameFilter(const DialogFilter& filter) {
    return filter.description + QStringLiteral(" (") + matchingPattern(filter.pattern) +
           QLatin1Char(')');
}

bool QtFileDialogProvider::confirm(QWidget* owner, const QString& title, const QString& question) {
    return QMessageBox::question(owner, title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

SaveChoice QtFileDialogProvider::askToSave(QWidget* owner, const QString& title,
                                           const QString& details) {
    QMessageBox box(QMessageBox::Warning, title, QStringLiteral("The disk has not been saved."),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner);
    box.setInformativeText(details);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

FileDialogAnswer QtFileDialogProvider::choose(QWidget* owner, const FileDialogRequest& request) {
    QFileDialog dialog(owner, request.title,
                       request.folder.isEmpty() ? QDir::currentPath() : request.folder);
    // Qt's own dialog: the native one would show the case-blind matching patterns.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    QStringList filters;
    for (const DialogFilter& filter : request.filters) {
        filters << nameFilter(filter);
    }
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.front());
    }
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (request.mode == FileDialogRequest::Mode::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    // With the details hidden the dialog may name the filter by its description alone.
    const QString chosen = dialog.selectedNameFilter();
    int filterIndex = 0;
    for (int i = 0; i < request.filters.size(); ++i) {
        if (chosen == filters[i] || chosen == request.filters[i].description) {
            filterIndex = i;
        }
    }
    return {dialog.selectedFiles().front(), filterIndex};
}

}  // namespace sv::ui
