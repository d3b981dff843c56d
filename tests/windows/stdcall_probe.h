// A probe of the calling convention for the test programs built for 32-bit
// Windows: it calls a function with a given argument list and measures how
// many argument bytes the callee left on the stack. Include it once per
// program (it defines the probe's code).
#pragma once

#include <cstdint>

// Calls fn with count 32-bit arguments (args[0] first) and stores in *left
// the number of argument bytes the callee left on the stack: 0 for a
// standard-call function that takes exactly count arguments. Returns EAX.
extern "C" int32_t osp_stdcall_probe(const void* fn, int32_t count, const uintptr_t* args,
                                     int32_t* left);
asm(".text\n"
    ".globl _osp_stdcall_probe\n"
    "_osp_stdcall_probe:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  pushl %ebx\n"
    "  movl 12(%ebp), %ecx\n"
    "  movl 16(%ebp), %esi\n"
    "  movl %esp, %edi\n"
    "1:\n"
    "  testl %ecx, %ecx\n"
    "  jz 2f\n"
    "  decl %ecx\n"
    "  pushl (%esi,%ecx,4)\n"
    "  jmp 1b\n"
    "2:\n"
    "  call *8(%ebp)\n"
    "  movl %edi, %ecx\n"
    "  subl %esp, %ecx\n"
    "  movl %edi, %esp\n"
    "  movl 20(%ebp), %edx\n"
    "  movl %ecx, (%edx)\n"
    "  popl %ebx\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebp\n"
    "  ret\n");

#include <cstring>
#include <iterator>
#include <string>

#include "check.h"

namespace osp::wintest {

// One export as the probe calls it: its plain name, its result (kAnyResult:
// none to check) and its 32-bit arguments.
inline constexpr int32_t kAnyResult = INT32_MIN;
struct ProbeRow {
  const char* name;
  int32_t expected;
  int32_t count;
  uintptr_t args[5];
};

// Checks that every name has a row, and that each row's export is found by its
// plain name only, pops exactly its own arguments and returns what it should.
template <size_t Names, size_t Rows>
void check_probe_rows(HMODULE dll, const char* const (&names)[Names],
                      const ProbeRow (&rows)[Rows], Checker& c) {
  for (const char* name : names) {
    bool found = false;
    for (const ProbeRow& row : rows) found = found || std::strcmp(row.name, name) == 0;
    if (!found) c.fail(__FILE__, __LINE__, std::string("no calling-convention row for ") + name);
  }
  for (const ProbeRow& row : rows) {
    const std::string at = "@" + std::to_string(4 * row.count);
    const FARPROC fn = GetProcAddress(dll, row.name);
    if (fn == nullptr) {
      c.fail(__FILE__, __LINE__, std::string(row.name) + " is not exported");
      continue;
    }
    if (GetProcAddress(dll, (row.name + at).c_str()) != nullptr ||
        GetProcAddress(dll, ("_" + std::string(row.name) + at).c_str()) != nullptr)
      c.fail(__FILE__, __LINE__, std::string(row.name) + " is also exported decorated");
    int32_t left = -1;
    const int32_t result =
        osp_stdcall_probe(reinterpret_cast<const void*>(fn), row.count, row.args, &left);
    if (left != 0)
      c.fail(__FILE__, __LINE__,
             std::string(row.name) + " left " + std::to_string(left) + " bytes on the stack");
    if (row.expected != kAnyResult && result != row.expected)
      c.fail(__FILE__, __LINE__,
             std::string(row.name) + " returned " + std::to_string(result) + ", expected " +
                 std::to_string(row.expected));
  }
}

}  // namespace osp::wintest
