#include "ui/file_viewer.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <array>
#include <span>
#include <string>

#include "core/file_io.h"
#include "ui/dialog_units.h"
#include "ui/file_dialogs.h"
#include "ui/file_selection.h"
#include "ui/viewer_text.h"

namespace sv::ui {

namespace {

constexpr DialogLayout kViewerDialog{"File Viewer", 465, 380};

constexpr std::array kViewerControls{
    ControlLayout{viewerId::text, ControlKind::TextView, "", 5, 5, 455, 350},
    ControlLayout{viewerId::saveFile, ControlKind::PushButton, "Save File...", 5, 360, 60, 15},
    ControlLayout{viewerId::saveResult, ControlKind::Label, "", 70, 362, 315, 13},
    ControlLayout{viewerId::exit, ControlKind::PushButton, "Exit", 390, 360, 60, 15},
};

constexpr int kContentsFilter = 0;
constexpr int kListingFilter = 1;

}  // namespace

FileViewer::FileViewer(const AnalysedEntry* entry, FileDialogProvider& dialogs, QWidget* parent)
    : QDialog(parent), entry_(entry), dialogs_(dialogs) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    buildDialog(*this, kViewerDialog, kViewerControls);
    auto* text = findControl<QPlainTextEdit>(*this, viewerId::text);
    // Fixed pitch, so the dump's columns and the listings line up.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(font().pointSize() + 1);
    text->setFont(fixed);
    text->setPlainText(QString::fromLatin1(viewerText(entry)));

    auto* save = findControl<QPushButton>(*this, viewerId::saveFile);
    save->setEnabled(entry != nullptr);
    connect(save, &QPushButton::clicked, this, &FileViewer::saveFile);
    connect(findControl<QPushButton>(*this, viewerId::exit), &QPushButton::clicked, this,
            [this] { done(0); });
}

void FileViewer::saveFile() {
    if (entry_ == nullptr) {
        return;
    }
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = QStringLiteral("Save File");
    request.filters.push_back({QStringLiteral("File Contents (*.*)"), QStringLiteral("*.*")});
    if (entry_->basicListing) {
        request.filters.push_back({QStringLiteral("BASIC Listing (*.TXT)"), QStringLiteral("*.TXT")});
    }
    const FileDialogAnswer answer = dialogs_.choose(this, request);
    if (answer.path.isEmpty()) {
        return;
    }
    const std::string path = toPath(answer.path);
    WriteResult written;
    if (answer.filterIndex == kListingFilter && entry_->basicListing) {
        const std::string& listing = *entry_->basicListing;
        written = writeFileAtomically(
            path, std::span(reinterpret_cast<const std::uint8_t*>(listing.data()), listing.size()));
    } else {
        written = writeFileAtomically(path, entry_->fileContent);
    }
    static_assert(kContentsFilter == 0);
    findControl<QLabel>(*this, viewerId::saveResult)
        ->setText(written.ok() ? QStringLiteral("Saved to ") + answer.path
                               : answer.path + QStringLiteral(" could not be written.\n") +
                                     QString::fromStdString(causeLine(written.cause)));
}

}  // namespace sv::ui
