#pragma once

#include <QDialog>

#include "analysis/analysis.h"

namespace sv::ui {

class FileDialogProvider;

namespace viewerId {
inline constexpr int text = 1029;
inline constexpr int exit = 1030;
inline constexpr int saveFile = 1033;
inline constexpr int saveResult = 1034;
}  // namespace viewerId

// Shows one listed file (or "FileView" when no line was chosen). "Save File..." writes the
// file's bytes, or its BASIC listing when that filter is chosen, to a file of the user's choice.
class FileViewer : public QDialog {
    Q_OBJECT

public:
    FileViewer(const AnalysedEntry* entry, FileDialogProvider& dialogs, QWidget* parent = nullptr);

private:
    void saveFile();

    const AnalysedEntry* entry_;
    FileDialogProvider& dialogs_;
};

}  // namespace sv::ui
