// QSL labels on A4 label sheets as a PDF file: COLS x ROWS labels a page
// inside adjustable margins, each label a few lines of text drawn with a
// Japanese font, so that kanji, kana and full-width call signs come out as
// they are printed on cards.
#pragma once

#include <string>
#include <vector>

namespace osprey_tool {

struct SheetLayout {
  int columns = 3;  // 3 x 8: the 24-label sheet; 2 x 6 the 12-label one
  int rows = 8;
  // Margins of the page in millimetres: top, right, bottom, left.
  double margins[4] = {8.0, 8.0, 8.0, 8.0};
  bool outline = false;  // draw each label's edge (for lining up a sheet)
};

// Reads "COLSxROWS" (each 1 to 20) into layout. False, with a sentence in
// *error, for anything else.
bool parse_layout(const std::string& text, SheetLayout* layout, std::string* error);

// Reads "MM" (all four margins) or "TOP,RIGHT,BOTTOM,LEFT" in millimetres
// (0 to 100 each) into layout. False, with a sentence in *error, otherwise or
// when no room is left for the labels.
bool parse_margins(const std::string& text, SheetLayout* layout, std::string* error);

// Writes the labels (each its lines of UTF-8 text) in order, row by row, onto
// as many A4 pages as they need, into a PDF file at path. Each label's text
// is set in one size that fits the label, centred in its height. False, with
// a sentence in *error, when the file cannot be written.
bool write_label_pdf(const std::string& path, const SheetLayout& layout,
                     const std::vector<std::vector<std::string>>& labels, std::string* error);

}  // namespace osprey_tool
