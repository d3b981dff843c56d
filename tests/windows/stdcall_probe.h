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
