#include "cli/CliJob.h"

#include <CLI/CLI.hpp>

int RunCli(int argc, char** argv) {
  CLI::App app{"Kestrune command-line tool", "kestrune-cli"};
  app.set_version_flag("--version", "kestrune-cli 1.1");
  app.require_subcommand(1);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
