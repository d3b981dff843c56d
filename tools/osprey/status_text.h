// English descriptions of the library's status codes, and the command's way of
// failing with one.
#pragma once

#include <cstdint>
#include <string>

#include "exit_codes.h"

namespace osprey_tool {

// The English sense of a status code's message; "some error has occurred" for
// codes without a message of their own.
const char* status_description(int32_t status);

// Prints "osprey: CONTEXT: status N: DESCRIPTION" (and DETAIL in parentheses
// when it is not empty) to standard error and sets the exit status to 1.
void fail_with_status(const std::string& context, int32_t status, const std::string& detail = "");

// Prints "osprey: CONTEXT: TEXT" to standard error and sets the exit status
// (1 unless another code of exit_codes.h is given).
void fail_with_message(const std::string& context, const std::string& text,
                       int exit_status = exit_code::kUnusable);

}  // namespace osprey_tool
