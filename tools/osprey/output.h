// Standard output as a result: a write that fails (a full disk) is an error
// of the command, never a silent success; a reader that has gone away (a
// closed pipe) is a normal end of the output.
#pragma once

namespace osprey_tool {

// Makes a write to a closed pipe fail with an error instead of ending the
// process, and notes that the pipe was closed, so that the command stops
// its output and ends as it would have.
void prepare_output();

// False once a write to standard output has failed; long listings stop then.
bool output_ok();

// Flushes standard output. When anything written to it failed for another
// reason than a closed pipe, says so on standard error and returns the exit
// code for it; else returns status.
int finish_output(int status);

}  // namespace osprey_tool
