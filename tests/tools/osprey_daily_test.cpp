// The osprey command as a daily tool, run as a program on logs in a
// temporary folder: deleted contacts, call signs in any case, listing
// orders and filters, delete and undelete, adding with a preview, read-only
// and busy logs, upper-case extensions, exit codes and failed output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/contact_file_builder.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

extern char** environ;

namespace osp::test {
namespace {

namespace fs = std::filesystem;

constexpr int kHeader = 449;  // the contact file's header; records of 58 bytes follow

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class OspreyDailyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    // Record: call, date (local to its zone), time, zone, frequency, mode, deleted.
    struct C {
      const char* call;
      int y, mo, d, h, mi;
      bool utc;
      const char* freq;
      const char* mode;
      bool deleted;
    };
    const C contacts[] = {
        {"QA3CCC", 2026, 1, 5, 10, 0, true, "7.050  ", "CW ", false},
        {"QA1AAA", 1999, 12, 31, 23, 0, false, "14.050 ", "SSB", false},
        {"qa2bbb", 2026, 1, 5, 9, 30, true, "144.50 ", "FM ", false},  // another program's case
        {"QA1AAA", 2026, 1, 4, 8, 0, false, "7.025  ", "CW ", true},
        {"QB9ZZZ", 2026, 1, 5, 18, 0, false, "430.00 ", "FM ", false},  // 09:00 UTC
        {"QA1AAB", 2026, 2, 1, 0, 0, true, "7.010  ", "CW ", false},
    };
    ContactFileBuilder b;
    for (const C& c : contacts) {
      TestContact t;
      t.callsign = c.call;
      t.year = c.y, t.month = c.mo, t.day = c.d, t.hour = c.h, t.minute = c.mi, t.utc = c.utc;
      t.frequency = c.freq;
      t.mode = c.mode;
      t.code = "1001";
      t.deleted = c.deleted;
      b.add(t);
    }
    b.write_log(base_);
    MasterEntry m;
    m.code = "1001";
    m.name = "CHIYODA";
    write_master_file(base_ + ".mst", {m});
  }

  ProgramResult osprey(const std::vector<std::string>& args, const std::string& input = "") {
    ProgramResult r = run_program(OSP_TOOL_PATH, args, input);
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_FALSE(has_sanitizer_report(r.err)) << r.err;
    return r;
  }

  // The record numbers of a listing's rows.
  static std::vector<int> rows(const std::string& out) {
    std::vector<int> n;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
      if (line.size() < 8 || contains(line, "RECNO") || line[0] == '(') continue;
      n.push_back(std::stoi(line));
    }
    return n;
  }

  char mark(int recno) const {
    return static_cast<char>(read_file(base_ + ".dbs")[kHeader + (recno - 1) * 58]);
  }

  TempDir dir_;
  std::string base_ = dir_.file("LOG");
};

TEST_F(OspreyDailyTest, ListHidesDeletedContactsAndFiltersByBandModeDateAndCall) {
  struct Case {
    std::vector<std::string> options;
    std::vector<int> rows;
  };
  const Case cases[] = {
      {{}, {1, 2, 3, 5, 6}},
      {{"--deleted"}, {1, 2, 3, 4, 5, 6}},
      {{"--band", "7"}, {1, 6}},
      {{"--band", "7MHz", "--deleted"}, {1, 4, 6}},
      {{"--band", "40m"}, {1, 6}},
      {{"--band", "2M"}, {3}},
      {{"--band", "70cm"}, {5}},
      {{"--mode", "ssb"}, {2}},
      {{"--band", "144", "--mode", "FM"}, {3}},
      {{"--since", "2026-01-05", "--until", "2026-01-05"}, {1, 3, 5}},
      {{"--since", "2026-01-06"}, {6}},
      {{"--call", "qa1"}, {2, 6}},
      {{"--call", "QA2"}, {3}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"list", base_, "--by", "record"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramResult r = osprey(args);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(rows(r.out), c.rows) << args.back();
  }
  const ProgramResult all = osprey({"list", base_, "--by", "record", "--deleted"});
  EXPECT_TRUE(contains(all.out, "      4*  QA1AAA")) << all.out;
  EXPECT_TRUE(contains(all.out, "1999-12-31 23:00J")) << all.out;
  EXPECT_TRUE(contains(all.out, "2026-01-05 10:00U")) << all.out;
}

// Mistakes a user makes on the command line get a sentence and their exit
// code, never a bare status.
TEST_F(OspreyDailyTest, AMistypedLogOrAnEmptyRangeIsSaidPlainly) {
  struct Case {
    std::vector<std::string> args;
    int exit_status;
    const char* says;
  };
  const Case cases[] = {
      {{"list", base_ + "X"}, 1, "there is no log"},
      {{"export", base_, "--format", "adif", "--from", "3", "--to", "2"}, 2,
       "comes before --from"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = osprey(c.args);
    EXPECT_EQ(r.exit_status, c.exit_status) << c.args[0] << r.err;
    EXPECT_TRUE(contains(r.err, c.says)) << r.err;
    EXPECT_FALSE(contains(r.err, "status 42")) << r.err;
  }
}

TEST_F(OspreyDailyTest, ListByDateOrdersByTheMomentInUtc) {
  // Contact 5 was made at 18:00 JST, before contact 3 (09:30 UTC) and 1.
  ProgramResult r = osprey({"list", base_, "--by", "date"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(r.out), (std::vector<int>{2, 5, 3, 1, 6}));
  r = osprey({"list", base_, "--by", "date", "--deleted", "--limit", "2"});
  EXPECT_EQ(rows(r.out), (std::vector<int>{2, 4}));
}

TEST_F(OspreyDailyTest, ShowFindsACallSignInAnyCaseAndHidesDeletedContacts) {
  ProgramResult r = osprey({"show", base_, "qa1aaa"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(r.out), std::vector<int>{2});
  EXPECT_TRUE(contains(r.out, "(1 deleted contact not shown")) << r.out;
  EXPECT_EQ(rows(osprey({"show", base_, "QA1AAA", "--deleted"}).out), (std::vector<int>{2, 4}));
  // Stored in small letters by another program.
  EXPECT_EQ(rows(osprey({"show", base_, "QA2BBB"}).out), std::vector<int>{3});
}

TEST_F(OspreyDailyTest, DeleteAndUndeleteAskUnlessYes) {
  ProgramResult r = osprey({"delete", base_, "1"}, "n\n");
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_TRUE(contains(r.err, "Delete contact 1? [y/N]")) << r.err;
  EXPECT_TRUE(contains(r.out, "QA3CCC")) << "the contact is shown first";
  EXPECT_EQ(mark(1), ' ');
  r = osprey({"delete", base_, "1"}, "y\n");
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(mark(1), '*');
  EXPECT_EQ(rows(osprey({"list", base_, "--by", "record"}).out), (std::vector<int>{2, 3, 5, 6}));
  r = osprey({"undelete", base_, "1", "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(mark(1), ' ');
  EXPECT_TRUE(contains(osprey({"undelete", base_, "1", "--yes"}).out, "is live already"));
  EXPECT_EQ(osprey({"delete", base_, "99", "--yes"}).exit_status, 1);
  EXPECT_EQ(osprey({"check", base_}).exit_status, 0);
}

TEST_F(OspreyDailyTest, AddStoresCapitalsShowsThePreviewAndWarnsOfADuplicate) {
  const std::vector<std::string> same_as_1{"add",    base_,        "--call", "qa3ccc",
                                           "--date", "2026-01-05", "--time", "10:00U",
                                           "--freq", "7.020",      "--mode", "cw"};
  ProgramResult r = osprey(same_as_1, "n\n");
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_TRUE(contains(r.err, "contact 1 has the same call sign, moment (in UTC), band and mode"))
      << r.err;
  // The same moment given in Japan Standard Time is the same contact.
  std::vector<std::string> same_in_jst = same_as_1;
  same_in_jst[7] = "19:00J";
  EXPECT_TRUE(contains(osprey(same_in_jst, "n\n").err, "contact 1 has the same call sign"));
  EXPECT_TRUE(contains(r.out, "to be added:")) << r.out;
  EXPECT_TRUE(contains(r.out, "    new   QA3CCC      2026-01-05 10:00U 7.020")) << r.out;
  EXPECT_EQ(read_file(base_ + ".dbs").size(), kHeader + 6 * 58 + 1u) << "nothing was added";

  r = osprey({"add", base_, "--call", "qa5eee", "--date", "2026-01-05", "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_FALSE(contains(r.err, "same call sign"));
  const std::vector<uint8_t> dbs = read_file(base_ + ".dbs");
  EXPECT_EQ(std::string(dbs.begin() + kHeader + 6 * 58 + 1, dbs.begin() + kHeader + 6 * 58 + 7),
            "QA5EEE");
  r = osprey({"edit", base_, "7", "--call", "qa6fff", "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(osprey({"show", base_, "Qa6Fff"}).out), std::vector<int>{7});
  EXPECT_EQ(osprey({"add", base_, "--call", "QA1", "--date", "1950-01-01", "--yes"}).exit_status, 2)
      << "a year the stored year byte cannot hold";
}

// Runs the command as a user who may not write the log (root may write
// anything, so it runs as nobody then).
// Arguments that begin with "env" run env (to set a variable) in front of
// the command, which the arguments then name.
ProgramResult as_reader(const std::vector<std::string>& args) {
  const bool through_env = !args.empty() && args[0] == "env";
  if (::geteuid() != 0) {
    if (!through_env) return run_program(OSP_TOOL_PATH, args);
    return run_program("env", std::vector<std::string>(args.begin() + 1, args.end()));
  }
  std::vector<std::string> all{"--reuid=65534", "--regid=65534", "--clear-groups"};
  if (!through_env) all.push_back(OSP_TOOL_PATH);
  all.insert(all.end(), args.begin(), args.end());
  return run_program("setpriv", all);
}

TEST_F(OspreyDailyTest, ViewingCommandsWorkOnALogThatMayNotBeWritten) {
  ASSERT_EQ(osprey({"open", base_, "--yes"}).exit_status, 0);  // builds the indexes
  std::vector<std::pair<std::string, std::vector<uint8_t>>> before;
  for (const auto& e : fs::directory_iterator(dir_.path())) {
    fs::permissions(e.path(), fs::perms(0444));
    before.emplace_back(e.path().string(), read_file(e.path().string()));
  }
  fs::permissions(dir_.path(), fs::perms(0555));
  const std::vector<std::vector<std::string>> viewing = {
      {"list", base_},
      {"list", base_, "--by", "date"},
      {"show", base_, "QA1AAA"},
      {"check", base_},
      {"dbf", "info", base_ + ".dbs"},
      {"dbf", "dump", base_ + ".mst"},
      {"idx", "info", base_ + ".dx0"},
      {"idx", "dump", base_ + ".dx2"},
  };
  for (const auto& args : viewing) {
    const ProgramResult r = as_reader(args);
    EXPECT_EQ(r.exit_status, 0) << args[0] << " " << args[1] << "\n" << r.err;
    EXPECT_FALSE(contains(r.err, "cannot be opened")) << r.err;
  }
  EXPECT_EQ(rows(as_reader({"list", base_}).out), (std::vector<int>{2, 6, 1, 5, 3}));
  // The award table is raised in a scratch copy (in a folder the reader may
  // write: this machine's /tmp need not be one), which goes away after.
  const TempDir scratch;
  fs::permissions(scratch.path(), fs::perms::all);
  ProgramResult r = as_reader({"env", "TMPDIR=" + scratch.path(), OSP_TOOL_PATH, "wkd", base_});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "raised in a scratch copy and not stored")) << r.err;
  EXPECT_TRUE(fs::is_empty(scratch.path()));
  r = as_reader({"add", base_, "--call", "QA7AAA", "--yes"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "the log cannot be changed")) << r.err;
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir_.path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, before.size());
  for (const auto& [path, bytes] : before) EXPECT_EQ(read_file(path), bytes) << path;
  fs::permissions(dir_.path(), fs::perms(0755));
}

TEST_F(OspreyDailyTest, AMissingIndexIsRebuiltWhereTheLogMayBeWrittenAndNamedWhereNot) {
  ASSERT_EQ(osprey({"open", base_, "--yes"}).exit_status, 0);
  fs::remove(base_ + ".dx0");
  fs::permissions(dir_.path(), fs::perms(0555));
  ProgramResult r = as_reader({"list", base_});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "the index " + base_ + ".dx0 is missing or out of date")) << r.err;
  EXPECT_EQ(as_reader({"list", base_, "--by", "record"}).exit_status, 0);
  r = as_reader({"check", base_});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_TRUE(contains(r.out, "index 0 (" + base_ +
                                  ".dx0): missing or out of date, and not "
                                  "rebuilt"))
      << r.out;
  fs::permissions(dir_.path(), fs::perms(0755));
  // A repair on the way is no failure: exit 0, and the progress is plain
  // lines when standard error is no terminal.
  r = osprey({"list", base_});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "osprey: building the index " + base_ + ".dx0\n")) << r.err;
  EXPECT_FALSE(contains(r.err, "\x1b")) << r.err;
  EXPECT_TRUE(fs::exists(base_ + ".dx0"));
  // On a terminal (script gives the command one) a bar redrawn in place.
  fs::remove(base_ + ".dx0");
  r = run_program("env",
                  {"TERM=xterm", "script", "-qec",
                   std::string("'") + OSP_TOOL_PATH + "' list '" + base_ + "'", "/dev/null"});
  EXPECT_EQ(r.exit_status, 0) << r.out;
  EXPECT_TRUE(
      contains(r.out, "\r[....................] building the index " + base_ + ".dx0\x1b[K"))
      << r.out;
  EXPECT_TRUE(contains(r.out, "[####################] indexes built\x1b[K")) << r.out;
}

TEST_F(OspreyDailyTest, ALogHeldByAnotherProgramIsInUseNotDamaged) {
  ASSERT_EQ(osprey({"open", base_, "--yes"}).exit_status, 0);
  const int held = ::open((base_ + ".dbs").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  const std::vector<std::vector<std::string>> commands = {{"list", base_},
                                                          {"show", base_, "QA1AAA"},
                                                          {"open", base_},
                                                          {"add", base_, "--call", "X"},
                                                          {"delete", base_, "1", "--yes"},
                                                          {"dbf", "info", base_ + ".dbs"}};
  for (const auto& args : commands) {
    const ProgramResult r = osprey(args);
    EXPECT_EQ(r.exit_status, 4) << args[0] << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "in use")) << r.err;
    EXPECT_TRUE(args[0] == "dbf" || contains(r.err, base_ + ".dbs")) << r.err;
  }
  ::close(held);
}

// Two commands that change the log at once: each either writes its contact
// or says the log is in use (4); none says a file is damaged, and the log
// holds exactly the contacts that were said to be added.
TEST_F(OspreyDailyTest, TwoWritersAtOnceEachWriteOrFindTheLogInUse) {
  ASSERT_EQ(osprey({"open", base_, "--yes"}).exit_status, 0);
  constexpr int kRounds = 8;
  int added[2] = {0, 0};
  std::string unexpected[2];
  const auto writer = [&](int w) {
    for (int i = 0; i < kRounds; ++i) {
      const std::string call = "QA" + std::to_string(w + 1) + "W" + std::string(1, char('A' + i));
      const ProgramResult r = run_program(OSP_TOOL_PATH, {"add", base_, "--call", call, "--yes"});
      if (r.exit_status == 0) ++added[w];
      else if (r.exit_status != 4) unexpected[w] += call + ": " + r.err;
    }
  };
  std::thread first(writer, 0), second(writer, 1);
  first.join();
  second.join();
  EXPECT_EQ(unexpected[0] + unexpected[1], "");
  const ProgramResult r = osprey({"check", base_});
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_EQ(read_file(base_ + ".dbs").size(), kHeader + (6 + added[0] + added[1]) * 58 + 1u);
}

TEST_F(OspreyDailyTest, LogFilesWithExtensionsInCapitalsAreFound) {
  ASSERT_EQ(osprey({"open", base_, "--yes"}).exit_status, 0);
  for (const char* e : {".mst", ".dbs", ".dbr", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4"}) {
    std::string upper = e;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    fs::rename(base_ + e, base_ + upper);
  }
  ProgramResult r = osprey({"list", base_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(r.out), (std::vector<int>{2, 6, 1, 5, 3}));
  EXPECT_EQ(r.err, "") << "nothing was rebuilt";
  ASSERT_EQ(osprey({"add", base_, "--call", "QA7AAA", "--yes"}).exit_status, 0);
  EXPECT_EQ(read_file(base_ + ".DBS").size(), kHeader + 7 * 58 + 1u);
  for (const char* e : {".mst", ".dbs", ".dbr", ".dx0", ".dx4"})
    EXPECT_FALSE(fs::exists(base_ + e)) << e;
}

TEST_F(OspreyDailyTest, OpenNamesTheCopiesItKeptOfFilesItReplaced) {
  write_file(base_ + ".dbs", std::vector<uint8_t>(40, 'x'));  // not a record file
  const ProgramResult r = osprey({"open", base_, "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  for (const char* e : {".dbs", ".dbr"}) {
    EXPECT_TRUE(contains(r.err, "the old " + base_ + e + " was kept as " + base_ + e + "~"))
        << r.err;
    EXPECT_TRUE(fs::exists(base_ + e + "~"));
  }
  EXPECT_EQ(read_file(base_ + ".dbs~"), std::vector<uint8_t>(40, 'x'));
}

TEST_F(OspreyDailyTest, CheckListsTheFirstFiftyProblemsUnlessAll) {
  const std::string base = dir_.file("BIG");
  write_generated_log(base, 80, 3);
  ASSERT_EQ(osprey({"open", base, "--yes"}).exit_status, 0);
  // Every call sign changes behind index 0: 80 problems.
  std::vector<uint8_t> dbs = read_file(base + ".dbs");
  for (int r = 0; r < 80; ++r) dbs[kHeader + r * 58 + 1] ^= 0x01;
  write_file(base + ".dbs", dbs);
  const auto listed = [](const std::string& out) {
    size_t n = 0;
    for (size_t at = out.find("\n  - "); at != std::string::npos; at = out.find("\n  - ", at + 1))
      ++n;
    return n;
  };
  const ProgramResult all = osprey({"check", base, "--all"});
  EXPECT_EQ(all.exit_status, 5);
  const size_t total = listed(all.out);
  ASSERT_GE(total, 80u) << all.out;
  const ProgramResult capped = osprey({"check", base});
  EXPECT_EQ(capped.exit_status, 5);
  EXPECT_EQ(listed(capped.out), 50u);
  EXPECT_TRUE(contains(capped.out, "  ... and " + std::to_string(total - 50) + " more (--all"))
      << capped.out;
  EXPECT_TRUE(contains(capped.err, std::to_string(total) + " problems found")) << capped.err;
}

// Runs the command with standard output as given by redirect (a shell word).
int exit_with_output(const std::vector<std::string>& args, const std::string& redirect) {
  std::string command = std::string("'") + OSP_TOOL_PATH + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  const int status = std::system((command + " " + redirect + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the command writing into a pipe that nobody reads any more.
ProgramResult with_closed_pipe(const std::vector<std::string>& args) {
  int fds[2];
  ProgramResult r;
  if (::pipe(fds) != 0) return r;
  ::close(fds[0]);
  TempDir d;
  const int err = ::open(d.file("err").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  std::vector<std::string> all{OSP_TOOL_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, OSP_TOOL_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  ::close(err);
  int status = 0;
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid) return r;
  if (WIFEXITED(status)) r.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  const std::vector<uint8_t> e = read_file(d.file("err"));
  r.err.assign(e.begin(), e.end());
  return r;
}

// A full disk fails the command; a reader that goes away ("| head") is a
// normal end of the output.
TEST_F(OspreyDailyTest, AFailedWriteOfTheOutputIsAnErrorAClosedPipeIsNot) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"list", base_}, {"dbf", "dump", base_ + ".dbs"}, {"--help"}}) {
    EXPECT_EQ(exit_with_output(args, ">/dev/full"), 6) << args[0];
    const ProgramResult r = with_closed_pipe(args);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_status, 0) << args[0] << "\n" << r.err;
    EXPECT_EQ(r.err, "") << args[0];
  }
}

TEST_F(OspreyDailyTest, TheCommandLineFollowsOneConvention) {
  struct Case {
    std::vector<std::string> args;
    int exit_status;
    std::string out, err;  // parts of each
  };
  const Case cases[] = {
      {{"--version"}, 0, "library version 0x00043400", ""},
      {{"--help"}, 0, "  2  the command line is wrong", ""},
      {{"help"}, 0, "Subcommands:\n  help ", ""},
      {{"help", "list"}, 0, "--band", ""},
      {{"help", "idx", "check"}, 0, "RECORDFILE EXPRESSION INDEXFILE", ""},
      {{"edit", "--help"}, 0, "default: the stored date", ""},
      {{"frob", base_}, 2, "", "unknown command \"frob\""},
      {{"idx", "frob"}, 2, "", "unknown command \"idx frob\""},
      {{"help", "frob"}, 2, "", "unknown command \"frob\""},
      {{"list"}, 2, "", "LOG is required"},
      {{"list", base_, "--band", "6"}, 2, "", "--band takes a band in MHz"},
      {{"list", base_, "--since", "yesterday"}, 2, "", "--since takes a date"},
      {{"list", dir_.file("NONE")}, 1, "", ""},
  };
  for (const Case& c : cases) {
    const ProgramResult r = osprey(c.args);
    EXPECT_EQ(r.exit_status, c.exit_status) << c.args[0] << "\n" << r.err;
    EXPECT_TRUE(contains(r.out, c.out)) << c.args[0] << "\n" << r.out;
    EXPECT_TRUE(contains(r.err, c.err)) << c.args[0] << "\n" << r.err;
  }
}

// The README's C example, built with the README's compile line in a folder
// of its own, makes an empty contact file there and nothing else.
TEST(OspreyReadme, TheCExampleBuildsAndRunsInAFreshFolder) {
  std::ifstream readme(std::string(OSP_SOURCE_DIR) + "/README.md");
  std::stringstream text;
  text << readme.rdbuf();
  const std::string all = text.str();
  const size_t start = all.find("```c\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = all.find("```\n", start + 5);
  TempDir dir;
  std::ofstream(dir.file("example.c")) << all.substr(start + 5, end - start - 5);
  // The README's compile line, with this build in place of build/main.
  const size_t cc_at = all.find("cc -std=c11 example.c");
  ASSERT_NE(cc_at, std::string::npos);
  std::string line = all.substr(cc_at, all.find("-o example", cc_at) + 10 - cc_at);
  for (size_t at; (at = line.find("\\\n")) != std::string::npos;) line.replace(at, 2, " ");
  for (size_t at; (at = line.find("$OSP/build/main")) != std::string::npos;)
    line.replace(at, 15, OSP_BINARY_DIR);
  for (size_t at; (at = line.find("$OSP")) != std::string::npos;)
    line.replace(at, 4, OSP_SOURCE_DIR);
#if defined(__SANITIZE_ADDRESS__)
  line.insert(2, " -fsanitize=address,undefined");
#endif
  const std::string cc = "cd '" + dir.path() + "' && " + line;
  ASSERT_EQ(std::system(cc.c_str()), 0) << cc;
  fs::remove(dir.file("example.c"));
  const ProgramResult r = run_program("sh", {"-c", "cd '" + dir.path() + "' && ./example"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "empty, record size 58\n");
  EXPECT_EQ(read_file(dir.file("LOG.dbs")).size(), 450u);
}

}  // namespace
}  // namespace osp::test
