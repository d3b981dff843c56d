// The ADX half of AdifReader: <ADX><HEADER>...</HEADER><RECORDS><RECORD>
// <FIELD>text</FIELD> ... <APP PROGRAMID="P" FIELDNAME="F">text</APP>
// <USERDEF FIELDNAME="F">text</USERDEF></RECORD>...</RECORDS></ADX>, with
// the XML declaration, comments, CDATA sections and character references.
#include <cstdint>
#include <map>

#include "adif/adif_reader.h"

namespace osprey_tool {

namespace {

struct XmlTag {
  std::string name;  // upper case
  std::map<std::string, std::string> attributes;  // names in upper case
  bool closing = false;
  bool empty = false;  // <NAME/>
};

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void append_utf8(std::string* out, uint32_t code) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | code >> 6);
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | code >> 12);
    *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | code >> 18);
    *out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Decodes character references and the five named entities. False on a
// reference that is not one of them.
bool decode_text(std::string_view in, std::string* out) {
  for (size_t i = 0; i < in.size();) {
    if (in[i] != '&') {
      *out += in[i++];
      continue;
    }
    const size_t semi = in.find(';', i);
    if (semi == std::string_view::npos || semi - i > 12) return false;
    const std::string_view ref = in.substr(i + 1, semi - i - 1);
    if (ref == "amp") *out += '&';
    else if (ref == "lt") *out += '<';
    else if (ref == "gt") *out += '>';
    else if (ref == "quot") *out += '"';
    else if (ref == "apos") *out += '\'';
    else if (ref.size() >= 2 && ref[0] == '#') {
      const bool hex = ref[1] == 'x' || ref[1] == 'X';
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      if (digits.empty()) return false;
      uint32_t code = 0;
      for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return false;
        code = code * (hex ? 16u : 10u) + static_cast<uint32_t>(d);
        if (code > 0x10FFFF) return false;
      }
      if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return false;
      append_utf8(out, code);
    } else {
      return false;
    }
    i = semi + 1;
  }
  return true;
}

// A small cursor over the XML text.
class XmlCursor {
 public:
  XmlCursor(std::string_view text, size_t* pos) : text_(text), pos_(*pos) {}

  // Skips white space, the declaration, comments and a DOCTYPE. False on an
  // unterminated one.
  bool skip_misc() {
    while (true) {
      while (pos_ < text_.size() && is_space(text_[pos_])) ++pos_;
      if (at("<?")) {
        if (!skip_past("?>")) return false;
      } else if (at("<!--")) {
        if (!skip_past("-->")) return false;
      } else if (at("<!DOCTYPE") || at("<!doctype")) {
        if (!skip_past(">")) return false;
      } else {
        return true;
      }
    }
  }

  bool at_end() const { return pos_ >= text_.size(); }
  bool at(std::string_view s) const {
    return text_.size() - pos_ >= s.size() && text_.substr(pos_, s.size()) == s;
  }

  // Reads a tag at the cursor. False when there is none or it is malformed.
  bool tag(XmlTag* t) {
    if (!at("<")) return false;
    const size_t close = text_.find('>', pos_);
    if (close == std::string_view::npos) return false;
    std::string_view inside = text_.substr(pos_ + 1, close - pos_ - 1);
    pos_ = close + 1;
    t->attributes.clear();
    t->closing = !inside.empty() && inside[0] == '/';
    if (t->closing) inside.remove_prefix(1);
    t->empty = !inside.empty() && inside.back() == '/';
    if (t->empty) inside.remove_suffix(1);
    size_t i = 0;
    while (i < inside.size() && !is_space(inside[i])) ++i;
    t->name = upper(inside.substr(0, i));
    if (t->name.empty()) return false;
    while (true) {  // attributes: NAME="value" or NAME='value'
      while (i < inside.size() && is_space(inside[i])) ++i;
      if (i >= inside.size()) return true;
      const size_t eq = inside.find('=', i);
      if (eq == std::string_view::npos || eq + 1 >= inside.size()) return false;
      std::string name = upper(inside.substr(i, eq - i));
      while (!name.empty() && is_space(name.back())) name.pop_back();
      const char quote = inside[eq + 1];
      if (quote != '"' && quote != '\'') return false;
      const size_t end = inside.find(quote, eq + 2);
      if (end == std::string_view::npos) return false;
      std::string value;
      if (!decode_text(inside.substr(eq + 2, end - eq - 2), &value)) return false;
      t->attributes[name] = value;
      i = end + 1;
    }
  }

  // Reads character data up to the next tag (CDATA sections and comments
  // included). False on a bad reference or an unterminated section.
  bool text(std::string* out) {
    while (pos_ < text_.size()) {
      if (at("<![CDATA[")) {
        const size_t end = text_.find("]]>", pos_ + 9);
        if (end == std::string_view::npos) return false;
        out->append(text_.substr(pos_ + 9, end - pos_ - 9));
        pos_ = end + 3;
      } else if (at("<!--")) {
        if (!skip_past("-->")) return false;
      } else if (text_[pos_] == '<') {
        return true;
      } else {
        size_t end = text_.find('<', pos_);
        if (end == std::string_view::npos) end = text_.size();
        // XML reads a line end (CR LF, or a lone CR) as a line feed; a
        // carriage return written as a reference (&#13;) stays.
        const std::string_view chars = text_.substr(pos_, end - pos_);
        std::string raw;
        for (size_t i = 0; i < chars.size(); ++i) {
          if (chars[i] != '\r') raw += chars[i];
          else if (i + 1 == chars.size() || chars[i + 1] != '\n') raw += '\n';
        }
        if (!decode_text(raw, out)) return false;
        pos_ = end;
      }
    }
    return true;
  }

 private:
  bool skip_past(std::string_view s) {
    const size_t end = text_.find(s, pos_);
    if (end == std::string_view::npos) return false;
    pos_ = end + s.size();
    return true;
  }

  std::string_view text_;
  size_t& pos_;
};

}  // namespace

AdifRead AdifReader::next_adx(AdifRecord* record) {
  if (!started_ && !start_adx()) return AdifRead::kError;
  XmlCursor x(text_, &pos_);
  XmlTag t;
  if (!started_) {
    started_ = true;
    if (!x.skip_misc() || !x.tag(&t) || t.name != "ADX" || t.closing)
      return fail("the file does not begin with <ADX>");
    // The header, then <RECORDS>.
    while (true) {
      std::string ignored;
      if (!x.skip_misc() || !x.text(&ignored)) return fail("damaged text before <RECORDS>");
      if (x.at_end()) return fail("no <RECORDS> element");
      if (!x.tag(&t)) return fail("a malformed tag before <RECORDS>");
      if (t.name == "RECORDS" && !t.closing) {
        if (t.empty) ended_ = true;
        break;
      }
      if (t.name == "ADX" && t.closing) return AdifRead::kEnd;
    }
    if (ended_) return AdifRead::kEnd;
  }
  std::string between;
  if (!x.skip_misc() || !x.text(&between)) return fail("damaged text between records");
  if (x.at_end()) return fail("the file ends before </RECORDS>");
  if (!x.tag(&t)) return fail("a malformed tag between records");
  if (t.name == "RECORDS" && t.closing) return AdifRead::kEnd;
  record_number_ += 1;
  const std::string where = "record " + std::to_string(record_number_);
  if (t.name != "RECORD" || t.closing) return fail(where + ": <" + t.name + "> where a record begins");
  if (t.empty) return AdifRead::kRecord;
  while (true) {
    std::string ignored;
    if (!x.text(&ignored)) return fail(where + ": damaged text");
    if (x.at_end()) return fail(where + " has no </RECORD>");
    if (!x.tag(&t)) return fail(where + ": a malformed tag");
    if (t.name == "RECORD" && t.closing) return AdifRead::kRecord;
    if (t.closing) return fail(where + ": </" + t.name + "> without its start");
    std::string name = t.name;
    if (name == "APP") {
      name = "APP_" + upper(t.attributes["PROGRAMID"]) + "_" + upper(t.attributes["FIELDNAME"]);
    } else if (name == "USERDEF") {
      name = upper(t.attributes["FIELDNAME"]);
    }
    std::string value;
    if (!t.empty) {
      const std::string element = t.name;
      if (!x.text(&value)) return fail(where + ": field " + name + " has damaged text");
      if (!x.tag(&t) || !t.closing || t.name != element)
        return fail(where + ": field " + name + " is not closed by </" + element + ">");
    }
    record->add(std::move(name), std::move(value));
  }
}

}  // namespace osprey_tool
