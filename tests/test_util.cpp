#include "test_util.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace svtest {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("sectorvane-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

RunResult run(const std::string& commandLine) {
    TempDir dir;
    const std::string outPath = dir.file("out");
    const std::string errPath = dir.file("err");
    const std::string full = commandLine + " >" + shellQuote(outPath) + " 2>" + shellQuote(errPath);
    RunResult result;
    const int raw = std::system(full.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto out = readFile(outPath);
    const auto err = readFile(errPath);
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

RunResult runCli(const std::vector<std::string>& args) {
    std::string line = shellQuote(SV_CLI_PATH);
    for (const auto& a : args) {
        line += " " + shellQuote(a);
    }
    return run(line);
}

fs::path realDisksDir() {
    const fs::path dir = fs::path(SV_SHARED_DIR) / "realdisks";
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : fs::path();
}

std::string copyRealDisk(const std::string& relative, const TempDir& into) {
    const fs::path dir = realDisksDir();
    if (dir.empty() || !fs::exists(dir / relative)) {
        return {};
    }
    const std::string copy = into.file(fs::path(relative).filename().string());
    fs::copy_file(dir / relative, copy);
    return copy;
}

}  // namespace svtest
