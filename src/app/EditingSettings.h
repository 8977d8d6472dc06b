#pragma once

// The settings of editing, in the program's settings group "Editing".

// How many seconds Play Around Break Point plays on each side of the break point (default 2).
double playAroundSeconds();
void setPlayAroundSeconds(double seconds);
