// Standard output as a result: a write that fails (a full disk, a reader
// that has gone away) is an error of the command, never a silent success.
#pragma once

namespace osprey_tool {

// Makes a write to a closed pipe fail with an error instead of ending the
// process, so that the failure is reported and gives its exit code.
void prepare_output();

// False once a write to standard output has failed; long listings stop then.
bool output_ok();

// Flushes standard output. When anything written to it failed, says so on
// standard error and returns the exit code for it; else returns status.
int finish_output(int status);

}  // namespace osprey_tool
