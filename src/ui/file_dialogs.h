#pragma once

// The file dialogs, reached through a provider so that the tests can answer them.

#include <QList>
#include <QString>

class QWidget;

namespace sv::ui {

struct DialogFilter {
    QString description;  // "DMK Files (*.DMK)"
    QString pattern;      // "*.DMK"
};

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    QString folder;    // empty: the current directory
    QString fileName;  // proposed name; empty: none
    QList<DialogFilter> filters;  // the first is preselected
    QString defaultSuffix;        // appended to a name typed without one; empty: none
};

struct FileDialogAnswer {
    QString path;         // empty when the dialog was cancelled
    int filterIndex = 0;  // the filter selected when the dialog closed
};

// The answers to "The disk has not been saved."
enum class SaveChoice { Save, Discard, Cancel };

class FileDialogProvider {
public:
    virtual ~FileDialogProvider() = default;
    virtual FileDialogAnswer choose(QWidget* owner, const FileDialogRequest& request) = 0;
    // A yes-or-no question; true for yes. The answer "no" is the safe one.
    virtual bool confirm(QWidget* owner, const QString& title, const QString& question) = 0;
    // Before a disk that is in no file is replaced: save it, discard it, or cancel the command.
    // `details` says where the disk came from. Cancel is the safe answer.
    virtual SaveChoice askToSave(QWidget* owner, const QString& title, const QString& details) = 0;
};

// Qt's own file dialog. Open requires an existing file; Save asks before overwriting one.
class QtFileDialogProvider : public FileDialogProvider {
public:
    FileDialogAnswer choose(QWidget* owner, const FileDialogRequest& request) override;
    bool confirm(QWidget* owner, const QString& title, const QString& question) override;
    // The desktop's message box with Save, Discard and Cancel; Save is the default button and
    // Escape cancels.
    SaveChoice askToSave(QWidget* owner, const QString& title, const QString& details) override;
};

// The pattern as the dialog matches it on a file system that tells case: "*.DMK" also matches
// a.dmk and a.Dmk ("*.[Dd][Mm][Kk]"), and "*.*" matches names without a dot too ("*").
[[nodiscard]] QString matchingPattern(const QString& pattern);

// The filter line given to the dialog: the description as shown, then the pattern it matches
// with; the dialog is told to show only the description.
[[nodiscard]] QString nameFilter(const DialogFilter& filter);

}  // namespace sv::ui
