#include "cli/CliJob.h"
#include "cli/CliServices.h"
#include "settings/SettingsStore.h"
#include "settings/StatePaths.h"

int main(int argc, char** argv) {
  CSettingsStore settings(SettingsFilePath());
  CliServices services{settings, DefaultBatchLogPath()};
  return RunCli(argc, argv, services);
}
