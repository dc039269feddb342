#pragma once
// Runs the built quillmere-cli as its users run it: a separate process with
// arguments, standard output, standard error and an exit status.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TestImage.h"

extern char** environ;

namespace clitest {

using testsupport::TestImage;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Starts `command` (its first word a path, or a program looked up in PATH)
// with standard output and standard error into the named files, created or
// emptied; returns its process id, or -1 when it could not be started.
inline pid_t Spawn(const std::vector<std::string>& command, const std::string& outPath, const std::string& errPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all = command;
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Waits for the process to end: its exit status, or 128 + the signal that
// ended it; -1 for no process.
inline int WaitFor(pid_t child) {
    if (child <= 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Starts `command` with its output into files of `folder` (run-stdout,
// run-stderr); returns its process id, or -1.
inline pid_t Start(const std::vector<std::string>& command, const std::filesystem::path& folder) {
    return Spawn(command, (folder / "run-stdout").string(), (folder / "run-stderr").string());
}

// Waits for a process begun by Start and reads what it wrote.
inline Outcome Finish(pid_t child, const std::filesystem::path& folder) {
    Outcome run;
    run.status = WaitFor(child);
    run.out = ReadFile(folder / "run-stdout");
    run.err = ReadFile(folder / "run-stderr");
    return run;
}

inline Outcome RunCommand(const std::vector<std::string>& command, const std::filesystem::path& folder) {
    return Finish(Start(command, folder), folder);
}

// Each test gets its own scratch folder, removed after it.
class Cli : public testing::Test {
protected:
    // Runs the program with the arguments; its output goes through files in
    // the test's own folder, or standard output to `standardOutput` when
    // given (e.g. /dev/full).
    Outcome Quillmere(const std::vector<std::string>& arguments, const std::string& standardOutput = {}) {
        const std::string outPath = standardOutput.empty() ? (folder() / "stdout").string() : standardOutput;
        const std::string errPath = (folder() / "stderr").string();
        std::vector<std::string> command{QUILLMERE_CLI_PATH};
        command.insert(command.end(), arguments.begin(), arguments.end());
        Outcome run;
        run.status = WaitFor(Spawn(command, outPath, errPath));
        if (standardOutput.empty()) run.out = ReadFile(outPath);
        run.err = ReadFile(errPath);
        return run;
    }

    const std::filesystem::path& folder() const { return scratch_.folder(); }
    std::string InFolder(const std::string& name) const { return (folder() / name).string(); }

private:
    TestImage scratch_{0x00, 0};
};

}  // namespace clitest
