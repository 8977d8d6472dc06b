#include "cli/Commands.h"

int runWav(const CommandArgs&) { return fail("this command is not available yet"); }
