#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Each command takes the arguments after its name and returns the process exit status.
using CommandArgs = std::vector<std::string>;

// The exit statuses every command keeps to (listed in kerfline-cli(1)).
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFileError = 1; // a file could not be read or written
inline constexpr int kExitBadUsage = 2;  // unknown command or option, a missing or malformed value
inline constexpr int kExitNoSilence = 3; // the silence finder found none; nothing has been written

int runInfo(const CommandArgs& args);
int runLevels(const CommandArgs& args);
int runBreakpoints(const CommandArgs& args);
int runWav(const CommandArgs& args);
int runSplit(const CommandArgs& args);
int runChapters(const CommandArgs& args);
int runLoudness(const CommandArgs& args);
int runEdit(const CommandArgs& args);

// Prints "kerfline-cli: <message>" on stderr and returns kExitFileError.
int fail(const std::string& message);
// Returns kExitFileError, printing `message` only when nothing has been printed on stderr since
// printedErrorCount() was `toldBefore`: the document's own line says best what went wrong.
int failUnlessTold(std::size_t toldBefore, const std::string& message);
// Prints "kerfline-cli: <message>" on stderr and returns kExitBadUsage.
int usageError(const std::string& message);
