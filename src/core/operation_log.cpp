#include "core/operation_log.h"


namespace sv {

namespace {

// Appended in place: a load writes one for every sector.
std::string field(int cylinder, int head, int headDigits, int record, int recordDigits) {
    std::string text(1, 'T');
    appendZeroPadded(text, cylinder, 3);
    text += " H";
    appendZeroPadded(text, head, headDigits);
    text += " S";
    appendZeroPadded(text, record, recordDigits);
    return text;
}

}  // namespace

std::string sectorField(int cylinder, int head, int record) {
    return field(cylinder, head, 3, record, 3);
}

std::string shortSectorField(int cylinder, int head, int record) {
    return field(cylinder, head, 1, record, 2);
}

std::string mergeSectorField(int cylinder, int head, int record) {
    return sectorField(cylinder, head, record) + " ->      ";
}

LogEditor::LogEditor(OperationLog& log, std::string_view opening) : LogEditor(log, std::string(opening), true) {}

LogEditor::LogEditor(OperationLog& log, std::string text, bool showNow) : log_(log), text_(std::move(text)) {
    if (showNow) {
        show();
    }
}

LogEditor LogEditor::continuing(OperationLog& log) { return LogEditor(log, log.currentText(), false); }

void LogEditor::line(std::string_view line) {
    text_ += "\r\n";
    text_ += line;
    fieldStart_ = std::string::npos;
    show();
}

void LogEditor::openField(std::string_view field, bool showNow) {
    text_ += "\r\n";
    fieldStart_ = text_.size();
    text_ += field;
    if (showNow) {
        show();
    }
}

void LogEditor::setField(std::string_view field) {
    if (fieldStart_ == std::string::npos) {
        text_ += "\r\n";
        fieldStart_ = text_.size();
    }
    text_.resize(fieldStart_);
    text_ += field;
    show();
}

void LogEditor::mark(std::string_view marker) { mark(marker, field()); }

void LogEditor::mark(std::string_view marker, std::string_view freshField) {
    const std::string fresh(freshField);  // may alias text_
    text_ += marker;
    text_ += "\r\n";
    fieldStart_ = text_.size();
    text_ += fresh;
    show();
}

void LogEditor::finish(std::string_view closing) {
    text_ += closing;
    fieldStart_ = std::string::npos;
    show();
}

void LogEditor::fail(std::string_view first, std::string_view second) {
    text_ += "\r\n";
    text_ += first;
    if (!second.empty()) {
        text_ += "\r\n";
        text_ += second;
    }
    fieldStart_ = std::string::npos;
    show();
}

void addNotesAboveClosing(LogEditor& log, const std::vector<std::string>& notes,
                          std::string_view lastField) {
    for (const auto& note : notes) {
        log.setField(note);
        log.mark("", lastField);
    }
}

}  // namespace sv
