#include "support/run_program.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <cstdlib>

#include "support/temp_dir.h"

namespace osp::test {

namespace {

#if defined(_WIN32)
// The command interpreter's quoting: double quotes, with inner ones escaped.
std::string shell_quoted(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '\\';
    q += c;
  }
  return q + "\"";
}
#else
std::string shell_quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}
#endif

}  // namespace

ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input) {
  TempDir dir;
  const std::string out = dir.file("out"), err = dir.file("err"), in = dir.file("in");
  write_file(in, std::vector<uint8_t>(input.begin(), input.end()));
  std::string command = shell_quoted(program);
  for (const std::string& a : args) command += " " + shell_quoted(a);
  command += " <" + shell_quoted(in) + " >" + shell_quoted(out) + " 2>" + shell_quoted(err);
#if defined(_WIN32)
  // cmd /c drops the first and the last quote of its line: one pair more.
  const int status = std::system(("\"" + command + "\"").c_str());
  ProgramResult r;
  // The interpreter passes the program's exit status through.
  if (status != -1) r.exit_status = status;
#else
  const int status = std::system(command.c_str());
  ProgramResult r;
  if (status != -1 && WIFEXITED(status)) {
    r.exit_status = WEXITSTATUS(status);
    // The shell reports a program killed by a signal as 128 + the signal.
    if (r.exit_status > 128 && r.exit_status < 160) {
      r.signal = r.exit_status - 128;
      r.exit_status = -1;
    }
  } else if (status != -1 && WIFSIGNALED(status)) {
    r.signal = WTERMSIG(status);
  }
#endif
  const auto o = read_file(out);
  const auto e = read_file(err);
  r.out.assign(o.begin(), o.end());
  r.err.assign(e.begin(), e.end());
  return r;
}

bool has_sanitizer_report(const std::string& text) {
  return text.find("Sanitizer") != std::string::npos ||
         text.find("runtime error:") != std::string::npos;
}

}  // namespace osp::test
