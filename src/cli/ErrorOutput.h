#pragma once

#include <cstddef>
#include <string>

// Every line the tool prints on stderr, as "kerfline-cli: TEXT". The document often reports one
// fault twice (a level-2 line and a box) and the command then fails with the same text: each text is
// printed once (among the last few lines).
void printError(const std::string& text);
// How many lines printError has printed so far.
std::size_t printedErrorCount();
