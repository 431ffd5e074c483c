#pragma once

// Dialogs described as tables of controls placed in dialog units, as the window layouts are
// given: a dialog unit is a quarter of the dialog font's average character width across and an
// eighth of its height down, so the whole dialog scales with its font.

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include <span>

class QDialog;

namespace sv::ui {

enum class ControlKind {
    PushButton,
    EditBox,   // single line, scrolls horizontally
    Label,     // left-aligned text with word wrap
    ListBox,   // one line per item, each carrying an integer as item data
    GroupBox,  // a frame with its caption at the top left; never takes a click
    LogPane,   // read-only, scrolling, multi-line
    TextView,  // editable multi-line text, both scroll bars
};

struct ControlLayout {
    int id;
    ControlKind kind;
    const char* caption;
    int x;
    int y;
    int width;
    int height;
    bool disabled = false;
};

struct DialogLayout {
    const char* caption;
    int width;   // client area, dialog units
    int height;
};

// Average character width and height of a font in pixels, measured as the platform dialog
// manager measures them: the width of the 52 Latin letters over 52, rounded; the line height.
struct BaseUnits {
    int x;
    int y;
};
[[nodiscard]] BaseUnits baseUnits(const QFont& font);

// a * b / c rounded to the nearest integer, halves away from zero.
[[nodiscard]] int mulDiv(int a, int b, int c);
[[nodiscard]] QRect toPixels(BaseUnits units, int x, int y, int width, int height);

// The font every dialog uses: the desktop's ordinary font at 8 points, the size the layouts
// were drawn for.
[[nodiscard]] QFont dialogFont();

// Sizes the dialog's client area, sets its caption and font and creates every control of the
// table in order (which is also the Tab order). Each control's object name is its id in
// decimal.
void buildDialog(QDialog& dialog, const DialogLayout& spec, std::span<const ControlLayout> controls);

[[nodiscard]] QString controlName(int id);
// The control with that id inside `dialog`, or nullptr.
[[nodiscard]] QWidget* findControl(const QWidget& dialog, int id);
template <typename T>
[[nodiscard]] T* findControl(const QWidget& dialog, int id) {
    return qobject_cast<T*>(findControl(dialog, id));
}

// Shows and enables, or disables and hides, a control.
void setControlPresent(QWidget* control, bool present);

}  // namespace sv::ui
