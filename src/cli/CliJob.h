#pragma once
// The command-line tool: parses the arguments and runs one verb.
int RunCli(int argc, char** argv);
