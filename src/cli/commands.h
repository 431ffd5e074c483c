#pragma once

#include <CLI/CLI.hpp>

namespace sv::cli {

// Exit statuses: 0 success, 1 the operation failed (nothing loaded, a save not written),
// 2 wrong usage (CLI11's own parse errors exit with 2 as well), 3 done, but some files written
// are damaged.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDamaged = 3;

// One function per subcommand; each registers itself and sets `exitCode` when it runs.
void addDumpCommand(CLI::App& app, int& exitCode);
void addConvertCommand(CLI::App& app, int& exitCode);
void addDirCommand(CLI::App& app, int& exitCode);
void addExtractCommand(CLI::App& app, int& exitCode);
void addReadCommand(CLI::App& app, int& exitCode);
void addDrivesCommand(CLI::App& app, int& exitCode);
void addMergeCommand(CLI::App& app, int& exitCode);
void addInfoCommand(CLI::App& app, int& exitCode);
void addMapCommand(CLI::App& app, int& exitCode);

}  // namespace sv::cli
