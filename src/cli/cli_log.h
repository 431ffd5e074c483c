#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "core/operation_log.h"

namespace sv::cli {

// The command-line program's log: keeps the text, and while an operation runs shows its last
// line (the progress field) as a live line on stderr when stderr is a terminal.
class CliLog : public OperationLog {
public:
    CliLog();
    ~CliLog() override;
    void show(const std::string& text) override;
    [[nodiscard]] std::string currentText() const override { return text_; }

    // Ends the live line and prints the whole text with "\n" line ends: on stdout, where the
    // logs of operations that succeeded go, or on stderr for one that failed.
    void print(std::FILE* to = stdout);

private:
    void clearLiveLine();

    std::string text_;
    bool live_ = false;
    bool liveShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace sv::cli
