#pragma once

// The Load, Merge and Save selections: which dialog is shown with what, how the two path boxes
// change, and which reader or writer the chosen name picks (the rules themselves live with the
// image types; this is only their dialog side).

#include <QString>

#include <string>
#include <string_view>

#include "ui/file_dialogs.h"

class QLineEdit;
class QWidget;

namespace sv::ui {

// The Load and Merge dialogs start from the load path box: its folder, its type first.
[[nodiscard]] FileDialogRequest loadDialogRequest(std::string_view title,
                                                  const QString& loadPathBox);
// The Save dialog proposes the save path box's name in the current directory.
[[nodiscard]] FileDialogRequest saveDialogRequest(const QString& savePathBox);

struct PathBoxes {
    QLineEdit* load;
    QLineEdit* save;
};

// Each selection shows its dialog and updates the boxes; it returns the chosen path, or empty
// when the dialog was cancelled. The window then runs the reader or writer as one operation.

// Load: both boxes change (the save box proposes a name that does not overwrite the file).
[[nodiscard]] std::string chooseLoadPath(QWidget* owner, FileDialogProvider& dialogs,
                                         PathBoxes boxes);
// Merge: no box changes.
[[nodiscard]] std::string chooseMergePath(QWidget* owner, FileDialogProvider& dialogs,
                                          PathBoxes boxes);
// Save: the save box takes the chosen name.
[[nodiscard]] std::string chooseSavePath(QWidget* owner, FileDialogProvider& dialogs,
                                         PathBoxes boxes);

[[nodiscard]] std::string toPath(const QString& text);
[[nodiscard]] QString fromPath(std::string_view path);

}  // namespace sv::ui
