#include "ui/analysis_window.h"

#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

#include <array>

#include "ui/dialog_units.h"
#include "ui/file_viewer.h"

namespace sv::ui {

namespace {

constexpr DialogLayout kAnalysisDialog{"Analysis of Disk", 558, 393};

constexpr std::array kAnalysisControls{
    ControlLayout{analysisId::diskInfo, ControlKind::Label, "DiskInfo", 5, 5, 540, 25},
    ControlLayout{analysisId::list, ControlKind::ListBox, "", 5, 30, 540, 335},
    ControlLayout{analysisId::addFile, ControlKind::PushButton, "Add File", 5, 370, 55, 15, true},
    ControlLayout{analysisId::addFileBox, ControlKind::EditBox, "", 65, 370, 400, 15, true},
    ControlLayout{analysisId::exit, ControlKind::PushButton, "Exit", 490, 370, 55, 15},
};

constexpr int kRowRole = Qt::UserRole;

QString latin1Lines(const std::string& text) {
    QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

}  // namespace

AnalysisWindow::AnalysisWindow(const DiskImage& disk, OperationLog& log,
                               FileDialogProvider& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    buildDialog(*this, kAnalysisDialog, kAnalysisControls);
    list_ = findControl<QListWidget>(*this, analysisId::list);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(10);
    list_->setFont(fixed);

    analysis_ = analyseDisk(disk, log);
    // A plain-text label with no buddy takes no mnemonic, so the title's "&" is shown as it is.
    findControl<QLabel>(*this, analysisId::diskInfo)->setText(latin1Lines(analysis_.diskInfo));
    for (const std::size_t index : analysis_.listOrder) {
        if (index >= analysis_.entries.size()) {
            continue;
        }
        const AnalysedEntry& entry = analysis_.entries[index];
        auto* item = new QListWidgetItem(latin1Lines(entry.listingLine), list_);
        item->setData(kRowRole, entry.row);
    }

    connect(list_, &QListWidget::itemDoubleClicked, this, [this](const QListWidgetItem* item) {
        openViewer(entryOfRow(item->data(kRowRole).toInt()));
    });
    // A double-click beside the lines opens the viewer with no file, as on an empty list.
    list_->viewport()->installEventFilter(this);
    connect(findControl<QPushButton>(*this, analysisId::exit), &QPushButton::clicked, this,
            [this] { done(0); });
}

const AnalysedEntry* AnalysisWindow::entryOfRow(int row) const {
    for (const AnalysedEntry& entry : analysis_.entries) {
        if (entry.row == row) {
            return &entry;
        }
    }
    return nullptr;
}

bool AnalysisWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (list_->itemAt(mouse->position().toPoint()) == nullptr) {
            openViewer(nullptr);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AnalysisWindow::openViewer(const AnalysedEntry* entry) {
    FileViewer viewer(entry, dialogs_);
    viewer.exec();
}

}  // namespace sv::ui
