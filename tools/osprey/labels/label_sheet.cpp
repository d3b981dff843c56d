#include "labels/label_sheet.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace osprey_tool {

namespace {

// A4 in PDF points (1/72 inch).
constexpr double kPageWidth = 595.2756;
constexpr double kPageHeight = 841.8898;
constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kPadding = 2.5 * kPointsPerMm;  // inside each label
constexpr double kLargestSize = 12.0;            // points
constexpr double kLineSpacing = 1.25;
// Families tried in turn, so that kanji and kana find a glyph.
constexpr const char* kFontFamilies = "IPAGothic, IPAexGothic, Noto Sans CJK JP, Sans";

bool read_number(const std::string& text, double low, double high, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !(v >= low && v <= high)) return false;
  *value = v;
  return true;
}

// Draws one label's lines into the box at x, y of width w and height h.
void draw_label(cairo_t* cr, PangoLayout* text_layout, PangoFontDescription* font,
                const std::vector<std::string>& lines, double x, double y, double w, double h,
                bool outline) {
  if (outline) {
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.75, 0.75, 0.75);
    cairo_set_line_width(cr, 0.3);
    cairo_rectangle(cr, x, y, w, h);
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  if (lines.empty()) return;
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  const double room_w = std::max(w - 2 * kPadding, 1.0);
  const double room_h = std::max(h - 2 * kPadding, 1.0);
  double size = std::min(kLargestSize, room_h / (static_cast<double>(lines.size()) * kLineSpacing));
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  pango_layout_set_font_description(text_layout, font);
  pango_layout_set_text(text_layout, text.c_str(), static_cast<int>(text.size()));
  int text_w = 0, text_h = 0;
  pango_layout_get_size(text_layout, &text_w, &text_h);
  double width = text_w / static_cast<double>(PANGO_SCALE);
  double height = text_h / static_cast<double>(PANGO_SCALE);
  // A line too wide for the label makes the whole label's text smaller.
  if (width > room_w || height > room_h) {
    size *= std::min(room_w / std::max(width, 1e-6), room_h / std::max(height, 1e-6));
    pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
    pango_layout_set_font_description(text_layout, font);
    pango_layout_get_size(text_layout, &text_w, &text_h);
    height = text_h / static_cast<double>(PANGO_SCALE);
  }
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_move_to(cr, x + kPadding, y + (h - height) / 2);
  pango_cairo_show_layout(cr, text_layout);
}

}  // namespace

bool parse_layout(const std::string& text, SheetLayout* layout, std::string* error) {
  const size_t x = text.find_first_of("xX");
  double columns = 0, rows = 0;
  if (x == std::string::npos || !read_number(text.substr(0, x), 1, 20, &columns) ||
      !read_number(text.substr(x + 1), 1, 20, &rows) || columns != static_cast<int>(columns) ||
      rows != static_cast<int>(rows)) {
    *error = "--layout is COLSxROWS, e.g. 3x8 (24 labels a page) or 2x6 (12), 1 to 20 each";
    return false;
  }
  layout->columns = static_cast<int>(columns);
  layout->rows = static_cast<int>(rows);
  return true;
}

bool parse_margins(const std::string& text, SheetLayout* layout, std::string* error) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  double m[4] = {};
  bool ok = parts.size() == 1 || parts.size() == 4;
  for (size_t i = 0; ok && i < parts.size(); ++i) ok = read_number(parts[i], 0, 100, &m[i]);
  if (ok && parts.size() == 1) m[1] = m[2] = m[3] = m[0];
  if (ok && ((m[1] + m[3]) * kPointsPerMm >= kPageWidth - 10 ||
             (m[0] + m[2]) * kPointsPerMm >= kPageHeight - 10)) {
    ok = false;
  }
  if (!ok) {
    *error = "--margins is MM or TOP,RIGHT,BOTTOM,LEFT in millimetres (0 to 100), leaving room for labels";
    return false;
  }
  std::copy(m, m + 4, layout->margins);
  return true;
}

bool write_label_pdf(const std::string& path, const SheetLayout& layout,
                     const std::vector<std::vector<std::string>>& labels, std::string* error) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), kPageWidth, kPageHeight);
  cairo_t* cr = cairo_create(surface);
  PangoLayout* text_layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string(kFontFamilies);

  const double top = layout.margins[0] * kPointsPerMm;
  const double left = layout.margins[3] * kPointsPerMm;
  const double w = (kPageWidth - left - layout.margins[1] * kPointsPerMm) / layout.columns;
  const double h = (kPageHeight - top - layout.margins[2] * kPointsPerMm) / layout.rows;
  const size_t per_page = static_cast<size_t>(layout.columns) * static_cast<size_t>(layout.rows);
  for (size_t i = 0; i < labels.size(); ++i) {
    const size_t place = i % per_page;
    if (place == 0 && i > 0) cairo_show_page(cr);
    const double x = left + static_cast<double>(place % static_cast<size_t>(layout.columns)) * w;
    const double y = top + static_cast<double>(place / static_cast<size_t>(layout.columns)) * h;
    draw_label(cr, text_layout, font, labels[i], x, y, w, h, layout.outline);
  }
  // The rest of the last page's labels show their edges too when asked.
  if (layout.outline) {
    for (size_t place = labels.size() % per_page; place != 0 && place < per_page; ++place) {
      const double x = left + static_cast<double>(place % static_cast<size_t>(layout.columns)) * w;
      const double y = top + static_cast<double>(place / static_cast<size_t>(layout.columns)) * h;
      draw_label(cr, text_layout, font, {}, x, y, w, h, true);
    }
  }
  cairo_show_page(cr);

  pango_font_description_free(font);
  g_object_unref(text_layout);
  const cairo_status_t drawn = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t written = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  // The font map goes with the sheet. The caches that the font lookups
  // filled inside the font libraries stay until the process ends: emptying
  // them by force trips the libraries' own checks whenever one of their
  // threads still holds a font.
  pango_cairo_font_map_set_default(nullptr);
  const cairo_status_t status = drawn != CAIRO_STATUS_SUCCESS ? drawn : written;
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot write ") + path + ": " + cairo_status_to_string(status);
    return false;
  }
  return true;
}

}  // namespace osprey_tool
