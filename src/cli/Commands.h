#pragma once

#include <string>
#include <vector>

// Each command takes the arguments after its name and returns the process exit status.
using CommandArgs = std::vector<std::string>;

int runInfo(const CommandArgs& args);
int runLevels(const CommandArgs& args);
int runBreakpoints(const CommandArgs& args);
int runWav(const CommandArgs& args);
int runSplit(const CommandArgs& args);
int runChapters(const CommandArgs& args);

// Prints "kerfline-cli: <message>" on stderr and returns the failure status.
int fail(const std::string& message);
