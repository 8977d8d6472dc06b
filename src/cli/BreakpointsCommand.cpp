#include "cli/Commands.h"

int runBreakpoints(const CommandArgs&) { return fail("this command is not available yet"); }
