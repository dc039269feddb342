#pragma once
// The program's own small face of the argument parser (CLI11). Only
// CommandLine.cpp includes the parser's header: it is header-only and costs
// seconds of compiling, and static initialisation at every start, in each
// file that includes it. The subcommand files describe their arguments
// through these handles instead.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace cli {

// An option or positional argument of a command; the command owns it.
class Option {
public:
    explicit Option(CLI::Option* option) : option_(option) {}

    // The argument must be given.
    Option Required();
    // The argument may only be given together with `other`.
    Option Needs(Option other);

private:
    CLI::Option* option_;
};

// The program or one of its subcommands; the program owns it.
class Command {
public:
    explicit Command(CLI::App* app) : app_(app) {}

    Command AddSubcommand(const std::string& name, const std::string& description);
    // A name starting with "-" is an option taking a value ("-o,--output"
    // gives two spellings), any other a positional argument, in the order
    // added. `value` receives what was given and must outlive the parse.
    Option AddOption(const std::string& name, std::string& value, const std::string& description);
    Option AddFlag(const std::string& name, bool& value, const std::string& description);
    // Text printed at the end of the command's --help.
    void Footer(const std::string& text);
    // Exactly `count` of the subcommands must be given.
    void RequireSubcommands(int count);
    // Called after the arguments were parsed, when this command was given.
    void OnRun(std::function<void()> run);

    std::string Name() const;
    std::vector<Command> Subcommands() const;

    bool operator==(const Command&) const = default;

private:
    CLI::App* app_;
};

// The program's command line: the root command, its --version, the parse.
class Program {
public:
    Program(const std::string& description, const std::string& name, const std::string& version);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Command Root();

    // Parses the arguments and runs the given command. Empty when it ran;
    // else the status after --help or --version was printed (0) or a usage
    // error was said (not 0).
    std::optional<int> Parse(int argc, char* argv[]);

private:
    std::unique_ptr<CLI::App> app_;
};

}  // namespace cli
