#pragma once
// The subcommands of quillmere-cli. Each one lives in its own file and adds
// itself to the program through one function of this list; a new subcommand
// is a new file and one more entry in kCommands.

#include "cli/CommandLine.h"

#include <array>

namespace cli {

// Exit statuses. `diff` follows diff(1) instead: 0 none differ, 1 some do,
// 2 on failure; `checksum` gives 0 both right, 1 one wrong, 2 on failure;
// `patch` gives 1 for a refusal and 2 when a file could not be read or written.
inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;
// The failure status of diff, checksum and patch, whose 1 means something else.
inline constexpr int kTrouble = 2;

// What a subcommand that ran leaves for the program's exit: its status, and
// the status that says it failed by its own convention (kFailure, or
// kTrouble for diff, checksum and patch). The program exits with the latter
// when the data written to standard output could not be written in full.
struct CommandStatus {
    int exit = kSuccess;
    int failure = kFailure;
};

// Adds one subcommand to `app`. When the subcommand runs, it stores its
// status in `status`.
using CommandAdder = void (*)(Command app, CommandStatus& status);

void AddInfoCommand(Command app, CommandStatus& status);
void AddExportCommand(Command app, CommandStatus& status);
void AddImportCommand(Command app, CommandStatus& status);
void AddDiffCommand(Command app, CommandStatus& status);
void AddPatchCommand(Command app, CommandStatus& status);
void AddChecksumCommand(Command app, CommandStatus& status);

inline constexpr std::array<CommandAdder, 6> kCommands = {
    AddInfoCommand,
    AddExportCommand,
    AddImportCommand,
    AddDiffCommand,
    AddPatchCommand,
    AddChecksumCommand,
};

}  // namespace cli
