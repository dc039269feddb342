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

// Each test gets its own scratch folder, removed after it.
class Cli : public testing::Test {
protected:
    // Runs the program with the arguments; its output goes through files in
    // the test's own folder, or standard output to `standardOutput` when
    // given (e.g. /dev/full).
    Outcome Quillmere(const std::vector<std::string>& arguments, const std::string& standardOutput = {}) {
        const std::string outPath = standardOutput.empty() ? (folder() / "stdout").string() : standardOutput;
        const std::string errPath = (folder() / "stderr").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> all{QUILLMERE_CLI_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t child = 0;
        Outcome run;
        if (posix_spawn(&child, QUILLMERE_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(child, &status, 0);
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&actions);
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
