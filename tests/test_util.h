#pragma once

// Small helpers shared by the tests: temporary folders, running the programs, reading files.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace svtest {

// A fresh folder under the system's temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a command line through the shell, capturing stdout and stderr.
[[nodiscard]] RunResult run(const std::string& commandLine);
// Runs sectorvane-cli with the arguments (each quoted for the shell).
[[nodiscard]] RunResult runCli(const std::vector<std::string>& args);

[[nodiscard]] std::vector<std::uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The shared real-disk folder, or empty when it is absent.
[[nodiscard]] std::filesystem::path realDisksDir();

// Copies a real disk (path below the real-disk folder) into `into`, since an IMD load may write a
// side file beside the image; the copy's path, or "" when the disk is absent.
[[nodiscard]] std::string copyRealDisk(const std::string& relative, const TempDir& into);

[[nodiscard]] std::string shellQuote(const std::string& text);

}  // namespace svtest
