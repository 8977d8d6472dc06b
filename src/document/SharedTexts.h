#pragma once

// Texts the program shows from more than one room, kept in one place so that they cannot drift apart.
inline constexpr const char* kBusyText =
    "Can not process, because there is a loading or saving thread is running ...";
