#pragma once
// What the command-line tool takes from its surroundings, found once in
// main() (settings/StatePaths reads the environment there) and handed to the
// verbs: the settings store and the batch log's default place.

#include <string>

class CSettingsStore;

struct CliServices {
  CSettingsStore& settings;
  std::string defaultBatchLogPath;
};
