#include "tools/skins/skin_description.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

namespace {

enum class KeyKind { Color, Line, Int, Rect, YesNo, Direction, Corners, Text, Glyph, Columns, Whole };

// Every key a picture section may carry, with what its value must look like.
const std::map<std::string, KeyKind>& KnownKeys() {
  static const std::map<std::string, KeyKind> keys = {
      {"size", KeyKind::Whole},        {"format", KeyKind::Whole},       {"frames", KeyKind::Whole},
      {"draw", KeyKind::Whole},        {"note", KeyKind::Text},          {"alpha", KeyKind::YesNo},
      {"key", KeyKind::Color},         {"fill", KeyKind::Color},         {"from", KeyKind::Color},
      {"to", KeyKind::Color},          {"direction", KeyKind::Direction}, {"back", KeyKind::Color},
      {"border", KeyKind::Line},       {"radius", KeyKind::Int},         {"shine", KeyKind::Color},
      {"top_line", KeyKind::Line},     {"bottom_line", KeyKind::Line},   {"left_line", KeyKind::Line},
      {"right_line", KeyKind::Line},   {"grid", KeyKind::Color},         {"grid_step", KeyKind::Int},
      {"band", KeyKind::Rect},         {"band_color", KeyKind::Color},   {"divider", KeyKind::Int},
      {"divider_color", KeyKind::Color}, {"corners", KeyKind::Corners},  {"overlap", KeyKind::Int},
      {"glyph", KeyKind::Glyph},       {"glyph_color", KeyKind::Color},  {"glyph_size", KeyKind::Int},
      {"glyph_width", KeyKind::Int},   {"glyph_rect", KeyKind::Rect},    {"glyph_pen", KeyKind::Int},
      {"disc", KeyKind::Color},        {"label", KeyKind::Text},         {"label_color", KeyKind::Color},
      {"label2", KeyKind::Text},       {"label2_color", KeyKind::Color}, {"label_rect", KeyKind::Rect},
      {"font_px", KeyKind::Int},       {"bold", KeyKind::YesNo},         {"track", KeyKind::Color},
      {"cap", KeyKind::Color},         {"columns", KeyKind::Columns},    {"up", KeyKind::Color},
      {"down", KeyKind::Color},        {"delay", KeyKind::Int},
  };
  return keys;
}

const std::set<std::string>& Painters() {
  static const std::set<std::string> painters = {"gradient", "panel", "button", "tab",      "vtab",
                                                 "glyph",    "cells", "text",   "animation"};
  return painters;
}

const std::set<std::string>& CellKinds() {
  static const std::set<std::string> kinds = {"up",   "down",  "vthumb", "vtrack", "left",
                                              "right", "hthumb", "htrack", "blank"};
  return kinds;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// A whole non-negative decimal number (at most 5 digits).
bool ParseCount(const std::string& s, int* out) {
  if (s.empty() || s.size() > 5) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  *out = std::stoi(s);
  return true;
}

bool ParseSize(const std::string& s, QSize* out) {
  const size_t x = s.find('x');
  int w = 0, h = 0;
  if (x == std::string::npos || !ParseCount(s.substr(0, x), &w) || !ParseCount(s.substr(x + 1), &h)) return false;
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096) return false;  // pictures of the windows, never posters
  *out = QSize(w, h);
  return true;
}

// The key without its frame, row or column prefix.
std::string BaseKey(const std::string& key) {
  const size_t dot = key.find('.');
  return dot == std::string::npos ? key : key.substr(dot + 1);
}

bool ValidPrefix(const std::string& key) {
  const size_t dot = key.find('.');
  if (dot == std::string::npos) return true;
  const std::string prefix = key.substr(0, dot);
  int n = 0;
  for (const char* p : {"f", "row", "col"}) {
    const std::string head(p);
    if (prefix.rfind(head, 0) == 0 && ParseCount(prefix.substr(head.size()), &n)) return true;
  }
  return false;
}

class Parser {
 public:
  Parser(const std::string& fileName, SkinDescription* out, std::string* error)
      : out_(out), error_(error) {
    out_->fileName = fileName;
  }

  bool Fail(int line, const std::string& what) {
    *error_ = out_->fileName + ":" + std::to_string(line) + ": " + what;
    return false;
  }

  bool CheckValue(const std::string& key, const SkinValue& v) {
    const std::string base = BaseKey(key);
    const KeyKind kind = KnownKeys().at(base);
    QColor color;
    int n = 0;
    switch (kind) {
      case KeyKind::Color:
        if (!ParseSkinColor(v.text, *out_, &color)) return Fail(v.line, "malformed colour '" + v.text + "'");
        return true;
      case KeyKind::Line: {
        const auto w = Words(v.text);
        if (w.empty() || w.size() > 2 || !ParseSkinColor(w[0], *out_, &color) ||
            (w.size() == 2 && (!ParseCount(w[1], &n) || n == 0)))
          return Fail(v.line, "'" + base + "' wants a colour and an optional width, not '" + v.text + "'");
        return true;
      }
      case KeyKind::Int:
        if (!ParseCount(v.text, &n)) return Fail(v.line, "'" + base + "' wants a number, not '" + v.text + "'");
        return true;
      case KeyKind::Rect: {
        const auto w = Words(v.text);
        bool ok = w.size() == 4;
        for (size_t i = 0; ok && i < w.size(); ++i) ok = ParseCount(w[i], &n);
        if (!ok) return Fail(v.line, "'" + base + "' wants 'x y width height', not '" + v.text + "'");
        return true;
      }
      case KeyKind::YesNo:
        if (v.text != "yes" && v.text != "no") return Fail(v.line, "'" + base + "' wants yes or no");
        return true;
      case KeyKind::Direction:
        if (v.text != "vertical" && v.text != "horizontal")
          return Fail(v.line, "'direction' wants vertical or horizontal");
        return true;
      case KeyKind::Corners:
        if (v.text != "square" && v.text != "round" && v.text != "left" && v.text != "right")
          return Fail(v.line, "'corners' wants square, round, left or right");
        return true;
      case KeyKind::Glyph: {
        const auto& names = SkinGlyphNames();
        if (std::find(names.begin(), names.end(), v.text) == names.end())
          return Fail(v.line, "unknown glyph '" + v.text + "'");
        return true;
      }
      case KeyKind::Columns:
        for (const std::string& w : Words(v.text))
          if (!CellKinds().count(w)) return Fail(v.line, "unknown cell kind '" + w + "'");
        return true;
      case KeyKind::Text:
      case KeyKind::Whole:
        return true;
    }
    return true;
  }

  bool FinishPicture(SkinPicture& p) {
    auto need = [&](const char* key, SkinValue* v) {
      auto it = p.keys.find(key);
      if (it == p.keys.end()) return Fail(p.line, std::string("missing '") + key + "'");
      *v = it->second;
      return true;
    };
    SkinValue size, format, frames, draw;
    if (!need("size", &size) || !need("format", &format) || !need("draw", &draw)) return false;
    if (!ParseSize(size.text, &p.size)) return Fail(size.line, "size '" + size.text + "' is not WxH (1 to 4096 each)");
    static const std::map<std::string, SkinFormat> formats = {
        {"png", SkinFormat::Png}, {"bmp24", SkinFormat::Bmp24}, {"jpeg", SkinFormat::Jpeg}, {"gif", SkinFormat::Gif}};
    auto f = formats.find(format.text);
    if (f == formats.end()) return Fail(format.line, "unknown format '" + format.text + "'");
    p.format = f->second;
    if (!Painters().count(draw.text)) return Fail(draw.line, "unknown painter '" + draw.text + "'");
    p.painter = draw.text;
    if (p.keys.count("frames")) {
      frames = p.keys["frames"];
      const auto w = Words(frames.text);
      int n = 0, m = 0;
      if (w.size() == 1 && ParseCount(w[0], &n) && n == 1) {
      } else if (w.size() == 2 && w[1] == "across" && ParseCount(w[0], &n) && n > 0) {
        if (p.size.width() % n) return Fail(frames.line, "frames do not divide the width");
        p.framesAcross = n;
      } else if (w.size() == 2 && w[1] == "cells" && w[0].find('x') != std::string::npos &&
                 ParseCount(w[0].substr(0, w[0].find('x')), &n) && ParseCount(w[0].substr(w[0].find('x') + 1), &m) &&
                 n > 0 && m > 0) {
        if (p.size.width() % n || p.size.height() % m) return Fail(frames.line, "cells do not divide the picture");
        p.framesAcross = n;
        p.framesDown = m;
      } else if (w.size() == 2 && w[1] == "animation" && ParseCount(w[0], &n) && n > 0) {
        p.animationFrames = n;
      } else {
        return Fail(frames.line, "frames '" + frames.text + "' is not 1, 'N across', 'CxR cells' or 'N animation'");
      }
    }
    const bool animated = p.animationFrames > 0;
    if (animated != (p.painter == "animation") || animated != (p.format == SkinFormat::Gif))
      return Fail(p.line, "an animation is a gif drawn by the animation painter with 'N animation' frames");
    if ((p.painter == "cells") != (p.framesDown > 1 || p.keys.count("columns")))
      return Fail(p.line, "the cells painter wants 'CxR cells' frames and 'columns'");
    if (p.painter == "cells" && static_cast<int>(Words(p.keys["columns"].text).size()) != p.framesAcross)
      return Fail(p.keys["columns"].line, "'columns' must name every column of cells");
    if (p.keys.count("alpha") && p.keys["alpha"].text == "yes" && p.format != SkinFormat::Png)
      return Fail(p.keys["alpha"].line, "only png pictures carry alpha");
    return true;
  }

  bool Run(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    bool inPalette = false;
    SkinPicture* current = nullptr;
    std::set<std::string> seen;
    while (std::getline(in, raw)) {
      ++lineNo;
      const std::string line = Trim(raw);
      if (line.empty() || line[0] == ';') continue;
      if (line.front() == '[') {
        if (line.back() != ']' || line.size() < 3) return Fail(lineNo, "malformed section header");
        if (current && !FinishPicture(*current)) return false;
        current = nullptr;
        const std::string name = line.substr(1, line.size() - 2);
        if (!seen.insert(name).second) return Fail(lineNo, "duplicate section [" + name + "]");
        inPalette = name == "palette";
        if (inPalette) continue;
        if (name.find('\\') == std::string::npos || name.find("..") != std::string::npos || name[0] == '\\')
          return Fail(lineNo, "a picture section is named by its path below the program folder: [" + name + "]");
        out_->pictures.push_back(SkinPicture{});
        current = &out_->pictures.back();
        current->path = name;
        current->line = lineNo;
        continue;
      }
      const size_t eq = line.find('=');
      if (eq == std::string::npos) return Fail(lineNo, "expected key=value");
      const std::string key = Trim(line.substr(0, eq));
      const SkinValue value{Trim(line.substr(eq + 1)), lineNo};
      if (inPalette) {
        if (key == "font") {
          out_->font = value.text;
          continue;
        }
        QColor color;
        if (value.text.size() != 7 || !ParseSkinColor(value.text, *out_, &color))
          return Fail(lineNo, "malformed colour '" + value.text + "'");
        if (!out_->palette.emplace(key, color).second) return Fail(lineNo, "duplicate colour '" + key + "'");
        continue;
      }
      if (!current) return Fail(lineNo, "key outside a section");
      if (!ValidPrefix(key) || !KnownKeys().count(BaseKey(key))) return Fail(lineNo, "unknown key '" + key + "'");
      if (current->keys.count(key)) return Fail(lineNo, "duplicate key '" + key + "'");
      if (!CheckValue(key, value)) return false;
      current->keys[key] = value;
    }
    if (current && !FinishPicture(*current)) return false;
    return true;
  }

 private:
  SkinDescription* out_;
  std::string* error_;
};

}  // namespace

bool ParseSkinColor(const std::string& text, const SkinDescription& description, QColor* out) {
  if (text == "none") {
    *out = QColor(0, 0, 0, 0);
    return true;
  }
  if (text.size() == 7 && text[0] == '#') {
    for (size_t i = 1; i < 7; ++i)
      if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    const unsigned v = static_cast<unsigned>(std::stoul(text.substr(1), nullptr, 16));
    *out = QColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    return true;
  }
  auto it = description.palette.find(text);
  if (it == description.palette.end()) return false;
  *out = it->second;
  return true;
}

const std::vector<std::string>& SkinGlyphNames() {
  static const std::vector<std::string> names = {
      "arrow_up",  "arrow_down", "arrow_left", "arrow_right", "triangle_up", "triangle_down", "triangle_right",
      "square",    "cross",      "minimise",   "maximise",    "restore",     "house",         "chevrons",
      "keyboard",  "avatar",     "picture",    "folder",      "card",        "magnifier",     "document",
      "key",       "dot",        "emblem",     "drag",        "continents"};
  return names;
}

bool ParseSkinDescription(const std::string& text, const std::string& fileName, SkinDescription* out,
                          std::string* error) {
  Parser parser(fileName, out, error);
  return parser.Run(text);
}
