#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sv {

// Where an operation reports. The engine builds the whole text and shows it after each change;
// lines are separated by "\r\n" and the last line has no line break.
class OperationLog {
public:
    virtual ~OperationLog() = default;
    virtual void show(const std::string& text) = 0;
    [[nodiscard]] virtual std::string currentText() const = 0;
};

// A sink that keeps the text it was last shown: for tests, and the base of the front ends' logs.
class TextSink : public OperationLog {
public:
    void show(const std::string& text) override { text_ = text; }
    [[nodiscard]] std::string currentText() const override { return text_; }

private:
    std::string text_;
};

// Decimal with leading zeros up to `digits`; a wider number keeps all its digits.
[[nodiscard]] std::string zeroPadded(long value, int digits);

// The three forms of the progress field.
[[nodiscard]] std::string sectorField(int cylinder, int head, int record);      // "T000 H000 S000"
[[nodiscard]] std::string shortSectorField(int cylinder, int head, int record); // "T000 H0 S00"
[[nodiscard]] std::string mergeSectorField(int cylinder, int head, int record); // "T000 H000 S000 ->      "

// The one owner of an operation's log text. Operations call its verbs; only this class
// replaces the trailing progress field or appends markers, so the field is always replaced by
// its own length, even when a wide number made it longer than its form.
class LogEditor {
public:
    // A fresh text that discards what the log showed before; shown at once.
    LogEditor(OperationLog& log, std::string_view opening);
    // Continues the text the log shows now (operations that add to the pane).
    [[nodiscard]] static LogEditor continuing(OperationLog& log);

    // += "\r\n" + line; shown.
    void line(std::string_view line);
    // += "\r\n" + field; the field is the one later updates replace. Shown when `showNow`.
    void openField(std::string_view field, bool showNow);
    // Replaces the current field; shown.
    void setField(std::string_view field);
    // += marker + "\r\n" + a fresh copy of the current field; shown. The marker stays at the end
    // of the sector's line.
    void mark(std::string_view marker);
    // As mark, with another text as the fresh field.
    void mark(std::string_view marker, std::string_view freshField);
    // += closing text on the same line as the last field; shown. No field is open afterwards.
    void finish(std::string_view closing);
    // A failure that stops the operation: each line after "\r\n"; shown.
    void fail(std::string_view first, std::string_view second = {});

    [[nodiscard]] const std::string& text() const { return text_; }
    // The open progress field; empty when none is open.
    [[nodiscard]] std::string field() const {
        return fieldStart_ == std::string::npos ? std::string() : text_.substr(fieldStart_);
    }
    void show() { log_.show(text_); }

private:
    LogEditor(OperationLog& log, std::string text, bool showNow);

    OperationLog& log_;
    std::string text_;
    std::size_t fieldStart_ = std::string::npos;
};

// Report lines that belong above an operation's closing line: each note takes the place of the
// open progress field, and `lastField` opens again below them for the closing text.
void addNotesAboveClosing(LogEditor& log, const std::vector<std::string>& notes,
                          std::string_view lastField);

}  // namespace sv
