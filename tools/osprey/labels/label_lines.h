// Templates of the print formats as the command takes them (UTF-8 on the
// command line or in a file) and their lines expanded for a contact.
#pragma once

#include <string>
#include <vector>

#include "osprey32.h"

namespace osprey_tool {

// A template in the log's Shift-JIS: text that is UTF-8 is converted (false,
// with a sentence in *error, when a character has no Shift-JIS form); other
// bytes are taken as Shift-JIS already.
bool template_sjis(const std::string& text, std::string* out, std::string* error);

// The lines of a template file's text (without their line ends; a last line
// without an end counts, an empty text has no lines).
std::vector<std::string> template_lines(const std::string& text);

// The template expanded for the contact in log's view, with the QSL-card
// escapes (qsl) or the log-listing ones, as Shift-JIS bytes. QSL templates
// take one escape of the command's own besides the library's: !TZ, "UTC" or
// "JST" after the contact's zone letter, so that a card says which time it
// gives (log listings have !u for it).
std::string expand_line(LogHandle& log, const std::string& sjis_template, bool qsl);

}  // namespace osprey_tool
