// Process services of the console companion (Windows only).
#pragma once

#include <string>

namespace platform {

// The process's whole command line, as GetCommandLineA gives it.
std::string RawCommandLine();

// Starts the program at `program` (spaces allowed; its command line is the
// path alone) as an independent process in the new process group it
// heads, with `workingFolder` as its current folder and this process's own
// start-up information (window placement and show state), and returns at
// once. Whether the start succeeded is not reported: the caller has no use for
// it.
void StartIndependentProgram(const std::string& program, const std::string& workingFolder);

// Writes bytes to standard output unchanged (no line-end translation).
void WriteStandardOutput(const std::string& bytes);

}  // namespace platform
