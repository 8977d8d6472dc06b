#include "cli/Commands.h"

int runSplit(const CommandArgs&) { return fail("this command is not available yet"); }
