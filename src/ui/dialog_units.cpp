#include "ui/dialog_units.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdlib>

namespace sv::ui {

BaseUnits baseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

int mulDiv(int a, int b, int c) {
    if (c == 0) {
        return 0;
    }
    const long long product = static_cast<long long>(a) * b;
    long long quotient = product / c;
    const long long remainder = product % c;
    if (2 * std::llabs(remainder) >= std::llabs(static_cast<long long>(c))) {
        quotient += (product < 0) != (c < 0) ? -1 : 1;
    }
    return static_cast<int>(quotient);
}

QRect toPixels(BaseUnits units, int x, int y, int width, int height) {
    return {mulDiv(x, units.x, 4), mulDiv(y, units.y, 8), mulDiv(width, units.x, 4),
            mulDiv(height, units.y, 8)};
}

QFont dialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

QString controlName(int id) { return QString::number(id); }

QWidget* findControl(const QWidget& dialog, int id) {
    return dialog.findChild<QWidget*>(controlName(id), Qt::FindDirectChildrenOnly);
}

void setControlPresent(QWidget* control, bool present) {
    if (control == nullptr) {
        return;
    }
    control->setEnabled(present);
    control->setVisible(present);
}

namespace {

QWidget* createControl(QDialog& dialog, const ControlLayout& spec) {
    const QString caption = QString::fromUtf8(spec.caption);
    switch (spec.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(caption, &dialog);
        // Return in a path box must not press whichever button Qt would make the default.
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::EditBox: {
        auto* edit = new QLineEdit(caption, &dialog);
        edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return edit;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(caption, &dialog);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(&dialog);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        list->setUniformItemSizes(true);
        return list;
    }
    case ControlKind::GroupBox: {
        auto* group = new QGroupBox(caption, &dialog);
        group->setAlignment(Qt::AlignLeft);
        // The frame lies over the controls it frames; clicks must reach them.
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->setFocusPolicy(Qt::NoFocus);
        return group;
    }
    case ControlKind::LogPane: {
        auto* pane = new QPlainTextEdit(caption, &dialog);
        pane->setReadOnly(true);
        pane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        pane->setUndoRedoEnabled(false);
        return pane;
    }
    case ControlKind::TextView: {
        auto* view = new QPlainTextEdit(caption, &dialog);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return view;
    }
    }
    return new QWidget(&dialog);
}

}  // namespace

void buildDialog(QDialog& dialog, const DialogLayout& spec, std::span<const ControlLayout> controls) {
    const QFont font = dialogFont();
    dialog.setFont(font);
    dialog.setWindowTitle(QString::fromUtf8(spec.caption));
    const BaseUnits units = baseUnits(font);
    dialog.setFixedSize(toPixels(units, 0, 0, spec.width, spec.height).size());
    for (const ControlLayout& item : controls) {
        QWidget* control = createControl(dialog, item);
        control->setObjectName(controlName(item.id));
        control->setGeometry(toPixels(units, item.x, item.y, item.width, item.height));
        control->setEnabled(!item.disabled);
        if (item.kind == ControlKind::GroupBox) {
            control->lower();
        }
    }
}

}  // namespace sv::ui
