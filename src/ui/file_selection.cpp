#include "ui/file_selection.h"

#include <QLineEdit>

#include "app/file_choice.h"

namespace sv::ui {

std::string toPath(const QString& text) { return text.toStdString(); }

QString fromPath(std::string_view path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

namespace {

FileDialogRequest requestFor(FileDialogRequest::Mode mode, std::string_view title,
                             const FilterChoice& choice) {
    FileDialogRequest request;
    request.mode = mode;
    request.title = fromPath(title);
    for (const FileFilter& filter : choice.filters) {
        request.filters.push_back({fromPath(filter.description), fromPath(filter.pattern)});
    }
    // "*" asks for no particular extension.
    if (choice.defaultExtension != "*") {
        request.defaultSuffix = fromPath(choice.defaultExtension);
    }
    return request;
}

}  // namespace

FileDialogRequest loadDialogRequest(std::string_view title, const QString& loadPathBox) {
    const std::string box = toPath(loadPathBox);
    FileDialogRequest request =
        requestFor(FileDialogRequest::Mode::Open, title, loadFilterChoice(box));
    request.folder = fromPath(folderOfPath(box));
    return request;
}

FileDialogRequest saveDialogRequest(const QString& savePathBox) {
    FileDialogRequest request =
        requestFor(FileDialogRequest::Mode::Save, kSaveDialogTitle, saveFilterChoice());
    request.fileName = savePathBox;
    return request;
}

std::string chooseLoadPath(QWidget* owner, FileDialogProvider& dialogs, PathBoxes boxes) {
    const std::string path = toPath(
        dialogs.choose(owner, loadDialogRequest(kLoadDialogTitle, boxes.load->text())).path);
    if (!isChosenPath(path)) {
        return {};
    }
    boxes.load->setText(fromPath(path));
    boxes.save->setText(fromPath(proposedSaveName(path)));
    return path;
}

std::string chooseMergePath(QWidget* owner, FileDialogProvider& dialogs, PathBoxes boxes) {
    const std::string path = toPath(
        dialogs.choose(owner, loadDialogRequest(kMergeDialogTitle, boxes.load->text())).path);
    return isChosenPath(path) ? path : std::string();
}

std::string chooseSavePath(QWidget* owner, FileDialogProvider& dialogs, PathBoxes boxes) {
    const std::string path =
        toPath(dialogs.choose(owner, saveDialogRequest(boxes.save->text())).path);
    if (!isChosenPath(path)) {
        return {};
    }
    boxes.save->setText(fromPath(path));
    return path;
}

}  // namespace sv::ui
