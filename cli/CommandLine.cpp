#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>

#include <utility>

namespace cli {

Option Option::Required() {
    return Option(option_->required());
}

Option Option::Needs(Option other) {
    return Option(option_->needs(other.option_));
}

Command Command::AddSubcommand(const std::string& name, const std::string& description) {
    return Command(app_->add_subcommand(name, description));
}

Option Command::AddOption(const std::string& name, std::string& value, const std::string& description) {
    return Option(app_->add_option(name, value, description));
}

Option Command::AddFlag(const std::string& name, bool& value, const std::string& description) {
    return Option(app_->add_flag(name, value, description));
}

void Command::Footer(const std::string& text) {
    app_->footer(text);
}

void Command::RequireSubcommands(int count) {
    app_->require_subcommand(count);
}

void Command::OnRun(std::function<void()> run) {
    app_->callback(std::move(run));
}

std::string Command::Name() const {
    return app_->get_name();
}

std::vector<Command> Command::Subcommands() const {
    std::vector<Command> commands;
    for (CLI::App* command : app_->get_subcommands([](CLI::App*) { return true; })) commands.emplace_back(command);
    return commands;
}

Program::Program(const std::string& description, const std::string& name, const std::string& version)
    : app_(std::make_unique<CLI::App>(description, name)) {
    app_->set_version_flag("--version", version);
}

Program::~Program() = default;

Command Program::Root() {
    return Command(app_.get());
}

std::optional<int> Program::Parse(int argc, char* argv[]) {
    try {
        app_->parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app_->exit(error);
    }
    return std::nullopt;
}

}  // namespace cli
