// The osprey command's exit codes: one meaning each, the same for every
// subcommand, so that scripts can tell a damaged log from a typing mistake.
#pragma once

namespace osprey_tool::exit_code {

inline constexpr int kOk = 0;             // done (also after a repair made on the way)
inline constexpr int kUnusable = 1;       // the log or file is missing, damaged or cannot be used
inline constexpr int kUsage = 2;          // the command line is wrong
inline constexpr int kDeclined = 3;       // a question was answered No: nothing was written
inline constexpr int kInUse = 4;          // another program holds a file of the log
inline constexpr int kProblemsFound = 5;  // a check found problems in the log or file
inline constexpr int kOutputFailed = 6;  // the output could not be written (a full disk); a
                                         // closed pipe is a normal end

// The table above as the help text shows it, one code a line.
inline constexpr const char* kSummary =
    "Exit codes:\n"
    "  0  done (also after a repair the command made on the way)\n"
    "  1  the log or file is missing, damaged or cannot be used\n"
    "  2  the command line is wrong\n"
    "  3  a question was answered No: nothing was written\n"
    "  4  the log is in use: another program holds one of its files\n"
    "  5  a check found problems\n"
    "  6  the output could not be written (a full disk; a reader that stops early, as\n"
    "     \"| head\" does, is a normal end)\n";

}  // namespace osprey_tool::exit_code
