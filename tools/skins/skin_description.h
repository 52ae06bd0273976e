// The description of every skin picture (skins.ini), read into records.
//
// File layout: INI-style sections, one line each, ';' comments.
//   [palette]            name=#RRGGBB colours that pictures name instead of
//                        writing the value, and font=<family> for labels.
//   [res\status.png]     one section per picture, named by its path as the
//                        windows write it ('\' separators), below the program
//                        folder. Its keys are listed in README.md; each key
//                        may be given for one frame or cell only with a
//                        prefix: f<i>.<key> (frame or cell i), row<r>.<key>
//                        and col<c>.<key> (cells), the most specific winning.
// ParseSkinDescription checks everything that can be checked without
// drawing (known keys, painters, formats, sizes, frame layouts, colours,
// glyph names, duplicates); the painter checks the rest (label characters).
#pragma once

#include <QColor>
#include <QSize>

#include <map>
#include <string>
#include <vector>

struct SkinValue {
  std::string text;  // as written, trimmed
  int line = 0;      // 1-based line of the description
};

enum class SkinFormat { Png, Bmp24, Jpeg, Gif };

struct SkinPicture {
  std::string path;                       // as written in the section name
  int line = 0;                           // line of the section header
  QSize size;                             // whole picture
  SkinFormat format = SkinFormat::Png;
  int framesAcross = 1;                   // frames or cells along x
  int framesDown = 1;                     // cells along y
  int animationFrames = 0;                // GIF frames; 0 for still pictures
  std::string painter;                    // the draw key
  std::map<std::string, SkinValue> keys;  // every key of the section, prefixes kept
};

struct SkinDescription {
  std::string fileName;                   // for messages: "<fileName>:<line>: ..."
  std::map<std::string, QColor> palette;  // by name
  std::string font = "WenQuanYi Micro Hei";
  std::vector<SkinPicture> pictures;      // in file order
};

// Parses the text of a description. On failure returns false and sets
// *error to "<fileName>:<line>: <what>"; *out is then incomplete.
bool ParseSkinDescription(const std::string& text, const std::string& fileName, SkinDescription* out,
                          std::string* error);

// A colour value: #RRGGBB, a palette name, or "none" (transparent). False
// when it is none of them.
bool ParseSkinColor(const std::string& text, const SkinDescription& description, QColor* out);

// The names of the glyphs the painters can draw.
const std::vector<std::string>& SkinGlyphNames();
