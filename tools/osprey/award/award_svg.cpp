// The award table as an SVG picture: one row per area, one column per band,
// each cell coloured by its standing; the band names repeated every
// kHeaderEvery rows so that a long table stays readable, and the per-band
// totals at the foot.
#include <string>

#include "award/award_table.h"

namespace osprey_tool {

namespace {

constexpr int kMargin = 20;
constexpr int kCodeWidth = 64;
constexpr int kNameWidth = 230;
constexpr int kCellWidth = 46;
constexpr int kCellHeight = 20;
constexpr int kGap = 2;
constexpr int kHeaderHeight = 26;
constexpr int kHeaderEvery = 40;
constexpr int kTitleHeight = 34;
constexpr int kLegendHeight = 30;
constexpr int kTotalsHeight = 2 * kCellHeight + 30;

constexpr const char* kConfirmedFill = "#1a9850";
constexpr const char* kWorkedFill = "#fdae61";
constexpr const char* kEmptyFill = "#e6e6e6";
constexpr const char* kFont = "font-family=\"IPAGothic, 'Noto Sans CJK JP', sans-serif\"";

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string num(int v) { return std::to_string(v); }

int band_x(int b) { return kMargin + kCodeWidth + kNameWidth + b * kCellWidth; }

std::string text_at(int x, int y, const std::string& text, const std::string& extra = "") {
  return "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" " + extra + ">" + escaped(text) +
         "</text>\n";
}

std::string rect(int x, int y, int w, int h, const char* fill, const std::string& extra = "") {
  return "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" +
         num(h) + "\" fill=\"" + fill + "\" " + extra + "/>\n";
}

// The band names over the columns, with "MHz" over the labels.
std::string band_header(int y) {
  std::string s = text_at(kMargin + 2, y + 17, "code", "font-size=\"12\" fill=\"#555\"");
  s += text_at(kMargin + kCodeWidth, y + 17, "area", "font-size=\"12\" fill=\"#555\"");
  s += text_at(kMargin + kCodeWidth + kNameWidth - 8, y + 17, "band (MHz)",
               "text-anchor=\"end\" font-size=\"12\" fill=\"#555\"");
  for (int b = 0; b < kBands; ++b) {
    s += text_at(band_x(b) + (kCellWidth - kGap) / 2, y + 17, kBandNames[static_cast<size_t>(b)],
                 "text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\"");
  }
  return s;
}

std::string legend(int y) {
  struct Item {
    const char* fill;
    const char* mark;
    const char* label;
  };
  const Item items[] = {{kConfirmedFill, "C", "confirmed (QSL received)"},
                        {kWorkedFill, "W", "worked, not confirmed"},
                        {kEmptyFill, "", "not worked yet"}};
  std::string s;
  int x = kMargin;
  for (const Item& i : items) {
    s += rect(x, y, 18, 18, i.fill, "rx=\"3\"");
    s += text_at(x + 9, y + 14, i.mark,
                 "text-anchor=\"middle\" font-size=\"12\" font-weight=\"bold\"" +
                     std::string(i.fill == kConfirmedFill ? " fill=\"#fff\"" : ""));
    s += text_at(x + 24, y + 14, i.label, "font-size=\"13\"");
    x += 230;
  }
  return s;
}

}  // namespace

std::string award_svg(const std::vector<AwardRow>& rows, const BandTotals& t,
                      const std::string& title) {
  const int n = static_cast<int>(rows.size());
  const int headers = (n + kHeaderEvery - 1) / kHeaderEvery + 1;  // and one over the totals
  const int width = band_x(kBands) + kMargin;
  const int height = kMargin + kTitleHeight + kLegendHeight + headers * kHeaderHeight +
                     n * kCellHeight + kTotalsHeight + kMargin;
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width) + "\" height=\"" +
       num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) + "\" " + kFont + ">\n";
  s += rect(0, 0, width, height, "#ffffff");
  int y = kMargin;
  s += text_at(kMargin, y + 18, title, "font-size=\"18\" font-weight=\"bold\"");
  y += kTitleHeight;
  s += legend(y);
  y += kLegendHeight;

  for (int i = 0; i < n; ++i) {
    if (i % kHeaderEvery == 0) {
      s += band_header(y);
      y += kHeaderHeight;
    }
    const AwardRow& r = rows[static_cast<size_t>(i)];
    if (i % 2 == 1) s += rect(kMargin, y, band_x(kBands) - kMargin, kCellHeight, "#f5f5f5");
    s += text_at(kMargin + 2, y + 15, r.code, "font-size=\"13\" font-family=\"monospace\"");
    s += text_at(kMargin + kCodeWidth, y + 15, r.name, "font-size=\"13\"");
    for (int b = 0; b < kBands; ++b) {
      const char c =
          static_cast<size_t>(b) < r.bands.size() ? r.bands[static_cast<size_t>(b)] : ' ';
      const char* fill = c == 'C' ? kConfirmedFill : c == 'W' ? kWorkedFill : kEmptyFill;
      s += rect(band_x(b), y + 1, kCellWidth - kGap, kCellHeight - kGap, fill, "rx=\"2\"");
      if (c == 'C' || c == 'W') {
        s += text_at(band_x(b) + (kCellWidth - kGap) / 2, y + 15, std::string(1, c),
                     std::string("text-anchor=\"middle\" font-size=\"12\" font-weight=\"bold\"") +
                         (c == 'C' ? " fill=\"#fff\"" : " fill=\"#333\""));
      }
    }
    y += kCellHeight;
  }
  // The band names again over the totals, so that the foot of a long
  // table reads on its own.
  s += band_header(y);
  y += kHeaderHeight;

  // The totals: areas worked (confirmed ones included) and confirmed.
  y += 10;
  s += "<line x1=\"" + num(kMargin) + "\" y1=\"" + num(y - 5) + "\" x2=\"" + num(band_x(kBands)) +
       "\" y2=\"" + num(y - 5) + "\" stroke=\"#333\" stroke-width=\"1.5\"/>\n";
  const std::string of = " of " + num(n) + " areas";
  const struct {
    const char* label;
    const std::array<int, kBands>& counts;
  } lines[] = {{"worked (C or W)", t.worked}, {"confirmed (C)", t.confirmed}};
  for (const auto& l : lines) {
    s += text_at(kMargin + 2, y + 15, l.label + of, "font-size=\"13\" font-weight=\"bold\"");
    for (int b = 0; b < kBands; ++b) {
      s += text_at(band_x(b) + (kCellWidth - kGap) / 2, y + 15,
                   num(l.counts[static_cast<size_t>(b)]),
                   "text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\"");
    }
    y += kCellHeight;
  }
  s += "</svg>\n";
  return s;
}

}  // namespace osprey_tool
