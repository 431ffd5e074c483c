#pragma once

#include <QDialog>

#include "analysis/analysis.h"
#include "core/disk_image.h"
#include "core/operation_log.h"

class QListWidget;

namespace sv::ui {

class FileDialogProvider;

namespace analysisId {
inline constexpr int diskInfo = 1027;
inline constexpr int list = 1026;
inline constexpr int exit = 1028;
inline constexpr int addFile = 1031;
inline constexpr int addFileBox = 1032;
}  // namespace analysisId

// What the analysis found on a disk: the system in the DiskInfo label, one line per file in
// the list (in the analysis' list order, each line carrying its row). A double-click opens the
// file viewer on that line's file. The analysis runs once, as the window is created; what it
// reports (the document index) goes on in the main window's log.
class AnalysisWindow : public QDialog {
    Q_OBJECT

public:
    AnalysisWindow(const DiskImage& disk, OperationLog& log, FileDialogProvider& dialogs,
                   QWidget* parent = nullptr);

    [[nodiscard]] const DiskAnalysis& analysis() const { return analysis_; }
    // The listed file a list line stands for, or nullptr.
    [[nodiscard]] const AnalysedEntry* entryOfRow(int row) const;

signals:
    // The line chosen in the list changed; nullptr when none is.
    void fileSelected(const sv::AnalysedEntry* entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openViewer(const AnalysedEntry* entry);

    DiskAnalysis analysis_;
    FileDialogProvider& dialogs_;
    QListWidget* list_ = nullptr;
};

}  // namespace sv::ui
