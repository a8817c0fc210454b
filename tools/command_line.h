#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kalvera {

// The program's arguments as UTF-8, argv[0] included. On Windows they are taken from the
// UTF-16 command line, since `argv` holds them in the ANSI code page, which cannot carry
// every name; elsewhere they are `argv` as given.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output and error write bytes exactly as the program writes them: on Windows no
// LF is turned into CR LF, so output is the same on every system; and a Windows console shows
// them as the UTF-8 they are.
void UseBinaryStandardStreams();

// Whether `stream` writes to a Windows console; never elsewhere, where a terminal takes the
// bytes as they are.
bool IsConsole(std::FILE* stream);

}  // namespace kalvera
