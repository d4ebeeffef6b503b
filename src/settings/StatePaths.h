#pragma once
// Where the program keeps what it writes as it runs: the environment is read
// here, at the edge, and the engine, the windows and the command-line tool
// are handed the paths.

#include <QString>
#include <string>

// The settings file: $KESTRUNE_CONFIG_DIR/registry.ini when that variable is
// set, else $XDG_CONFIG_HOME/Kestrune/registry.ini (an absolute
// XDG_CONFIG_HOME only; default ~/.config).
QString SettingsFilePath();

// $KESTRUNE_STATE_DIR/batchconvert.log, else $XDG_STATE_HOME/Kestrune/...
// (an absolute XDG_STATE_HOME only), else ~/.local/state/Kestrune/...
std::string DefaultBatchLogPath();
