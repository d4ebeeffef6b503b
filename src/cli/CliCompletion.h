#pragma once
// Shell completion scripts for bash, zsh and fish, written from the tool's
// own option tables (the CLI11 app with every verb), so the completions
// cannot drift from the options. The build runs `kestrune-cli --completion
// SHELL` and installs what it prints.

#include <optional>
#include <string>

namespace CLI {
class App;
}

// The script for shell ("bash", "zsh" or "fish"); nothing for another name.
std::optional<std::string> CompletionScript(const CLI::App& app, const std::string& shell);
