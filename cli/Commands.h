#pragma once
// The subcommands of quillmere-cli. Each one lives in its own file and adds
// itself to the program through one function of this list; a new subcommand
// is a new file and one more entry in kCommands.

#include <CLI/CLI.hpp>

#include <array>

namespace cli {

// Exit statuses. `diff` follows diff(1) instead: 0 none differ, 1 some do,
// 2 on failure; `checksum` gives 0 both right, 1 one wrong, 2 on failure;
// `patch` gives 1 for a refusal and 2 when a file could not be read or written.
inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;

// Adds one subcommand to `app`. When the subcommand runs, it stores the
// program's exit status in `exitStatus`.
using CommandAdder = void (*)(CLI::App& app, int& exitStatus);

void AddInfoCommand(CLI::App& app, int& exitStatus);
void AddExportCommand(CLI::App& app, int& exitStatus);
void AddImportCommand(CLI::App& app, int& exitStatus);
void AddDiffCommand(CLI::App& app, int& exitStatus);
void AddPatchCommand(CLI::App& app, int& exitStatus);
void AddChecksumCommand(CLI::App& app, int& exitStatus);

inline constexpr std::array<CommandAdder, 6> kCommands = {
    AddInfoCommand,
    AddExportCommand,
    AddImportCommand,
    AddDiffCommand,
    AddPatchCommand,
    AddChecksumCommand,
};

}  // namespace cli
