#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <string>

#include "core/operation_log.h"

class QPlainTextEdit;
class QProgressBar;

namespace sv::ui {

// The operation log shown in the main window's read-only, scrolling pane. The engine shows the
// whole text after every sector; while an operation runs the pane repaints at most about 30
// times a second (a long read would otherwise spend its time repainting), keeps its end in
// view, and shows the final text when the operation ends.
class LogPane : public OperationLog {
public:
    static constexpr qint64 kRepaintIntervalMs = 33;

    explicit LogPane(QPlainTextEdit* pane, std::string initialText);

    void show(const std::string& text) override;
    [[nodiscard]] std::string currentText() const override { return text_; }
    // Shown from an operation's first progress report to its end ("Track 13 of 77, T012 H0
    // S07"), repainted with the pane.
    void progress(int track, int trackTotal, std::string_view sector) override;
    void setProgressBar(QProgressBar* bar);

    void beginOperation();
    void endOperation();
    [[nodiscard]] bool operationRunning() const { return running_; }

    // How often the pane was repainted; the tests read it to check the throttle.
    [[nodiscard]] int paintCount() const { return paintCount_; }

private:
    void paint();

    QPointer<QPlainTextEdit> pane_;
    QPointer<QProgressBar> bar_;
    std::string text_;
    bool painted_ = true;
    bool running_ = false;
    int paintCount_ = 0;
    QElapsedTimer sincePaint_;
};

// Swallows every user input event (clicks, keys, wheel, closing) while it exists, so the
// window ignores the user while an operation runs but still repaints.
class InputBlocker : public QObject {
public:
    InputBlocker();
    ~InputBlocker() override;
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// One operation, from its first log line to its last.
class OperationScope {
public:
    explicit OperationScope(LogPane& log) : log_(log) { log_.beginOperation(); }
    ~OperationScope() { log_.endOperation(); }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    InputBlocker blocker_;
    LogPane& log_;
};

}  // namespace sv::ui
