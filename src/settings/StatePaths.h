#pragma once
// Where the program keeps what it writes as it runs (the batch log): the
// environment is read here, at the edge, and the engine is handed the path.

#include <string>

// $KESTRUNE_STATE_DIR/batchconvert.log, else $XDG_STATE_HOME/Kestrune/...
// (an absolute XDG_STATE_HOME only), else ~/.local/state/Kestrune/...
std::string DefaultBatchLogPath();
