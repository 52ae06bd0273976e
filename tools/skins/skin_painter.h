// Draws the pictures of a skin description with QPainter on QImage (no
// window system needed beyond an offscreen QGuiApplication for the fonts).
//
// Painters (the draw key):
//   gradient, panel  a flat fill or a gradient (from/to, vertical unless
//                    direction=horizontal) with optional grid, band, divider,
//                    edge lines and border;
//   button           a rounded key cap (radius, border, shine) on `back`;
//   tab              a horizontal tab: round top corners (transparent with
//                    alpha, else `back`), edge lines;
//   vtab             a vertical tab whose first `overlap` rows are slanted,
//                    the cut-away corners painted in the key colour;
//   glyph, text      the background of gradient with a glyph or a label;
//   cells            a grid of scroll-bar cells named by `columns`, one row
//                    per state (normal, hot, pressed);
//   animation        the frames of the login animation.
// Every painter but cells and animation then draws, in this order: disc,
// glyph, label (and label2 after it on the same line).
#pragma once

#include "tools/skins/skin_description.h"

#include <QImage>

#include <string>
#include <vector>

// Checks that the description's font is installed. False with *error naming
// the font otherwise.
bool CheckSkinFont(const SkinDescription& description, std::string* error);

// Draws one picture: one image for a still picture (ARGB32, the full size
// with every frame or cell), one image per frame for an animation. False
// with *error as "<file>:<line>: <what>" when a key cannot be drawn (a
// label character the font lacks, a rectangle outside the picture).
bool PaintSkinPicture(const SkinDescription& description, const SkinPicture& picture,
                      std::vector<QImage>* images, std::string* error);
