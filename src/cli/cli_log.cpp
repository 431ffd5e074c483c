#include "cli/cli_log.h"

#include <cstdio>

#include <unistd.h>

#include "core/text.h"

namespace sv::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(50);
constexpr std::size_t kLiveColumns = 78;
}  // namespace

CliLog::CliLog() : live_(::isatty(STDERR_FILENO) == 1) {}

CliLog::~CliLog() { clearLiveLine(); }

void CliLog::show(const std::string& text) {
    text_ = text;
    if (!live_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < kRedrawInterval) {
        return;
    }
    lastDraw_ = now;
    const auto start = text_.rfind('\n');
    std::string last = text_.substr(start == std::string::npos ? 0 : start + 1);
    if (last.size() > kLiveColumns) {
        last.erase(0, last.size() - kLiveColumns);
    }
    std::fprintf(stderr, "\r%s\x1b[K", last.c_str());
    std::fflush(stderr);
    liveShown_ = true;
}

void CliLog::clearLiveLine() {
    if (liveShown_) {
        std::fprintf(stderr, "\r\x1b[K");
        std::fflush(stderr);
        liveShown_ = false;
    }
}

void CliLog::print(std::FILE* to) {
    clearLiveLine();
    // What went to stdout before stays above a failure's text when both reach one terminal.
    std::fflush(stdout);
    if (!text_.empty()) {
        std::fputs(unixLines(text_).c_str(), to);
        std::fputc('\n', to);
    }
    std::fflush(to);
}

}  // namespace sv::cli
