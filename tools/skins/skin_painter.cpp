#include "tools/skins/skin_painter.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// The keys of one frame or cell: f<i>.key, then row<r>.key, then
// col<c>.key, then the plain key.
class FrameKeys {
 public:
  FrameKeys(const SkinDescription& d, const SkinPicture& p, int index, int row, int col)
      : d_(d), p_(p), index_(index), row_(row), col_(col) {}

  const SkinValue* Find(const std::string& key) const {
    for (const std::string& name : {"f" + std::to_string(index_) + "." + key, "row" + std::to_string(row_) + "." + key,
                                    "col" + std::to_string(col_) + "." + key, key}) {
      auto it = p_.keys.find(name);
      if (it != p_.keys.end()) return &it->second;
    }
    return nullptr;
  }
  bool Has(const std::string& key) const { return Find(key) != nullptr; }
  std::string Text(const std::string& key, const std::string& fallback = std::string()) const {
    const SkinValue* v = Find(key);
    return v ? v->text : fallback;
  }
  // Colours were checked by the parser.
  QColor Color(const std::string& key, const QColor& fallback = QColor(0, 0, 0, 0)) const {
    const SkinValue* v = Find(key);
    if (!v) return fallback;
    QColor c;
    ParseSkinColor(Words(v->text)[0], d_, &c);
    return c;
  }
  int LineWidth(const std::string& key) const {
    const auto w = Words(Text(key));
    return w.size() == 2 ? std::stoi(w[1]) : 1;
  }
  int Int(const std::string& key, int fallback) const {
    const SkinValue* v = Find(key);
    return v ? std::stoi(v->text) : fallback;
  }
  QRect Rect(const std::string& key) const {
    const auto w = Words(Text(key));
    return QRect(std::stoi(w[0]), std::stoi(w[1]), std::stoi(w[2]), std::stoi(w[3]));
  }
  bool Yes(const std::string& key) const { return Text(key) == "yes"; }
  int Line(const std::string& key) const {
    const SkinValue* v = Find(key);
    return v ? v->line : p_.line;
  }

 private:
  const SkinDescription& d_;
  const SkinPicture& p_;
  int index_, row_, col_;
};

QBrush Fill(const FrameKeys& k, const QRectF& r) {
  if (!k.Has("from")) return QBrush(k.Color("fill"));
  QLinearGradient g = k.Text("direction") == "horizontal" ? QLinearGradient(r.topLeft(), r.topRight())
                                                          : QLinearGradient(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, k.Color("from"));
  g.setColorAt(1, k.Color("to", k.Color("from")));
  return QBrush(g);
}

// ---------------------------------------------------------------------------
// Glyphs, drawn into box in colour c with pen width pen.

void DrawGlyph(QPainter& p, const std::string& name, const QRectF& box, const QColor& c, qreal pen,
               const QColor& second) {
  auto P = [&](qreal x, qreal y) { return QPointF(box.left() + x * box.width(), box.top() + y * box.height()); };
  auto poly = [&](std::initializer_list<std::pair<qreal, qreal>> pts) {
    QPolygonF polygon;
    for (auto& pt : pts) polygon << P(pt.first, pt.second);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(polygon);
  };
  QPen line(c, pen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  p.save();
  if (name == "triangle_up") {
    poly({{0.5, 0.15}, {1.0, 0.85}, {0.0, 0.85}});
  } else if (name == "triangle_down") {
    poly({{0.0, 0.15}, {1.0, 0.15}, {0.5, 0.85}});
  } else if (name == "triangle_right") {
    poly({{0.2, 0.0}, {0.9, 0.5}, {0.2, 1.0}});
  } else if (name == "arrow_up") {
    poly({{0.5, 0.0}, {1.0, 0.5}, {0.68, 0.5}, {0.68, 1.0}, {0.32, 1.0}, {0.32, 0.5}, {0.0, 0.5}});
  } else if (name == "arrow_down") {
    poly({{0.32, 0.0}, {0.68, 0.0}, {0.68, 0.5}, {1.0, 0.5}, {0.5, 1.0}, {0.0, 0.5}, {0.32, 0.5}});
  } else if (name == "arrow_left" || name == "arrow_right") {
    const bool left = name == "arrow_left";
    auto X = [&](qreal x) { return left ? x : 1.0 - x; };
    p.setPen(QPen(c, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF() << P(X(0.62), 0.15) << P(X(0.25), 0.5) << P(X(0.62), 0.85));
  } else if (name == "square") {
    p.fillRect(box, c);
  } else if (name == "cross") {
    p.setPen(QPen(c, pen, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(P(0.1, 0.1), P(0.9, 0.9));
    p.drawLine(P(0.9, 0.1), P(0.1, 0.9));
  } else if (name == "minimise") {
    p.fillRect(QRectF(P(0.1, 0.7), P(0.9, 0.7) + QPointF(0, pen)), c);
  } else if (name == "maximise") {
    p.setPen(line);
    p.drawRect(QRectF(P(0.1, 0.15), P(0.9, 0.85)));
    p.fillRect(QRectF(P(0.1, 0.15), P(0.9, 0.15) + QPointF(0, pen * 2)), c);
  } else if (name == "restore") {
    p.setPen(line);
    p.drawPolyline(QPolygonF() << P(0.3, 0.3) << P(0.3, 0.1) << P(0.9, 0.1) << P(0.9, 0.6) << P(0.7, 0.6));
    p.drawRect(QRectF(P(0.1, 0.35), P(0.7, 0.9)));
  } else if (name == "house") {
    poly({{0.5, 0.05}, {0.98, 0.48}, {0.02, 0.48}});
    p.fillRect(QRectF(P(0.16, 0.46), P(0.84, 0.95)), c);
    p.fillRect(QRectF(P(0.42, 0.62), P(0.58, 0.95)), second);
  } else if (name == "chevrons") {
    p.setPen(QPen(c, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (qreal x0 : {0.1, 0.5}) p.drawPolyline(QPolygonF() << P(x0, 0.2) << P(x0 + 0.35, 0.5) << P(x0, 0.8));
  } else if (name == "keyboard") {
    p.setPen(QPen(c, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(P(0.02, 0.1), P(0.98, 0.9)).adjusted(0.5, 0.5, -0.5, -0.5), 1.5, 1.5);
    for (int row = 0; row < 2; ++row)
      for (int col = 0; col < 4; ++col) p.fillRect(QRectF(P(0.16 + col * 0.2, 0.3 + row * 0.22), QSizeF(1.5, 1.5)), c);
    p.fillRect(QRectF(P(0.3, 0.72), P(0.7, 0.72) + QPointF(0, 1.2)), c);
  } else if (name == "avatar") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(P(0.32, 0.12), P(0.68, 0.5)));
    p.drawChord(QRectF(P(0.12, 0.56), P(0.88, 1.3)), 0, 180 * 16);
  } else if (name == "picture") {
    p.setPen(QPen(c, pen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(P(0.05, 0.1), P(0.95, 0.9)));
    poly({{0.12, 0.82}, {0.4, 0.4}, {0.6, 0.68}, {0.72, 0.55}, {0.88, 0.82}});
    p.setBrush(second);
    p.drawEllipse(QRectF(P(0.7, 0.2), P(0.82, 0.38)));
  } else if (name == "folder") {
    poly({{0.05, 0.2}, {0.4, 0.2}, {0.5, 0.32}, {0.95, 0.32}, {0.95, 0.85}, {0.05, 0.85}});
  } else if (name == "card") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(P(0.05, 0.2), P(0.95, 0.82)), 1.5, 1.5);
    p.fillRect(QRectF(P(0.05, 0.35), P(0.95, 0.47)), second);
  } else if (name == "magnifier") {
    p.setPen(QPen(c, pen));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(P(0.1, 0.1), P(0.62, 0.62)));
    p.setPen(QPen(c, pen * 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(P(0.6, 0.6), P(0.9, 0.9));
  } else if (name == "document") {
    poly({{0.18, 0.05}, {0.62, 0.05}, {0.85, 0.28}, {0.85, 0.95}, {0.18, 0.95}});
    p.setPen(QPen(second, 1));
    for (qreal y : {0.45, 0.6, 0.75}) p.drawLine(P(0.3, y), P(0.72, y));
  } else if (name == "key") {
    p.setPen(QPen(c, pen));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(P(0.08, 0.3), P(0.45, 0.7)));
    p.drawLine(P(0.45, 0.5), P(0.95, 0.5));
    p.drawLine(P(0.8, 0.5), P(0.8, 0.72));
    p.drawLine(P(0.92, 0.5), P(0.92, 0.68));
  } else if (name == "dot") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(P(0.3, 0.3), P(0.7, 0.7)));
  } else if (name == "emblem") {
    p.setPen(QPen(c, pen));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(P(0.2, 0.14), P(0.8, 0.86)));
    p.setPen(QPen(second, 1));  // a highlight along the outer edge
    p.drawArc(QRectF(P(0.2, 0.14), P(0.8, 0.86)).adjusted(-pen / 2, -pen / 2, pen / 2, pen / 2), 40 * 16, 100 * 16);
  } else if (name == "drag") {
    p.fillRect(QRectF(P(0.0, 0.3), P(0.7, 0.7)), second);
    poly({{0.45, 0.2}, {1.0, 0.5}, {0.45, 0.8}});
  } else if (name == "continents") {
    // Plate-carrée outlines, coarse on purpose.
    const std::vector<std::vector<std::pair<qreal, qreal>>> lands = {
        {{0.05, 0.18}, {0.2, 0.1}, {0.34, 0.12}, {0.33, 0.22}, {0.27, 0.3}, {0.25, 0.4}, {0.2, 0.45}, {0.13, 0.35}, {0.07, 0.3}},
        {{0.22, 0.47}, {0.3, 0.5}, {0.36, 0.58}, {0.32, 0.72}, {0.28, 0.85}, {0.25, 0.75}, {0.22, 0.6}},
        {{0.45, 0.14}, {0.55, 0.1}, {0.58, 0.2}, {0.52, 0.3}, {0.46, 0.3}, {0.44, 0.22}},
        {{0.45, 0.35}, {0.56, 0.34}, {0.62, 0.45}, {0.6, 0.6}, {0.55, 0.72}, {0.5, 0.62}, {0.44, 0.48}},
        {{0.56, 0.1}, {0.75, 0.08}, {0.93, 0.15}, {0.9, 0.28}, {0.82, 0.36}, {0.76, 0.45}, {0.7, 0.38}, {0.62, 0.35}, {0.58, 0.25}},
        {{0.8, 0.62}, {0.9, 0.6}, {0.93, 0.7}, {0.86, 0.76}, {0.8, 0.72}},
    };
    for (const auto& land : lands) {
      QPolygonF polygon;
      for (const auto& pt : land) polygon << P(pt.first, pt.second);
      p.setPen(QPen(second, 1));
      p.setBrush(c);
      p.drawPolygon(polygon);
    }
  }
  p.restore();
}

// ---------------------------------------------------------------------------

class PictureContext {
 public:
  PictureContext(const SkinDescription& d, const SkinPicture& pic, std::string* error)
      : d_(d), pic_(pic), error_(error) {}

  bool Fail(int line, const std::string& what) {
    *error_ = d_.fileName + ":" + std::to_string(line) + ": " + what;
    return false;
  }

  QFont LabelFont(const FrameKeys& k, int frameHeight) const {
    QFont font(QString::fromStdString(d_.font));
    font.setStyleStrategy(QFont::NoFontMerging);
    font.setPixelSize(k.Int("font_px", std::max(9, frameHeight * 55 / 100)));
    font.setBold(k.Yes("bold"));
    return font;
  }

  // Every character of the label must be in the font: a missing one would
  // be drawn as a box.
  bool CheckLabel(const FrameKeys& k, const std::string& key, const QFont& font) {
    const QString text = QString::fromStdString(k.Text(key));
    const QFontMetrics metrics(font);
    for (char32_t ch : text.toUcs4())
      if (ch != U' ' && !metrics.inFontUcs4(ch))
        return Fail(k.Line(key), "the font '" + d_.font + "' lacks a character of " + key + " '" + k.Text(key) + "'");
    return true;
  }

  bool CheckRect(const FrameKeys& k, const std::string& key, const QRect& frame) {
    if (!k.Has(key)) return true;
    const QRect r = k.Rect(key);
    if (r.isEmpty() || !QRect(QPoint(0, 0), frame.size()).contains(r))
      return Fail(k.Line(key), key + " lies outside the frame");
    return true;
  }

  void Background(QPainter& p, const FrameKeys& k, const QRect& frame) {
    const QRectF r(frame);
    const QColor back = k.Color("back", k.Color("key"));
    if (pic_.painter == "button") {
      if (back.alpha()) p.fillRect(r, back);
      const qreal radius = k.Int("radius", 3);
      const int bw = k.Has("border") ? k.LineWidth("border") : 0;
      // corners=left or right: only that side is rounded (the other runs
      // on past the frame and is cut by the clip).
      const std::string corners = k.Text("corners");
      const qreal extendLeft = corners == "right" ? radius * 2 + bw : 0;
      const qreal extendRight = corners == "left" ? radius * 2 + bw : 0;
      QPainterPath path;
      path.addRoundedRect(r.adjusted(bw / 2.0 - extendLeft, bw / 2.0, -bw / 2.0 + extendRight, -bw / 2.0), radius,
                          radius);
      p.setPen(bw ? QPen(k.Color("border"), bw) : QPen(Qt::NoPen));
      p.setBrush(Fill(k, r));
      p.drawPath(path);
      if (k.Has("left_line")) p.fillRect(QRect(frame.left(), frame.top(), k.LineWidth("left_line"), frame.height()), k.Color("left_line"));
      if (k.Has("right_line")) {
        const int lw = k.LineWidth("right_line");
        p.fillRect(QRect(frame.right() - lw + 1, frame.top(), lw, frame.height()), k.Color("right_line"));
      }
      if (k.Has("shine")) {
        p.setPen(QPen(k.Color("shine"), 1));
        p.drawLine(QPointF(r.left() + radius, r.top() + bw + 0.5), QPointF(r.right() - radius, r.top() + bw + 0.5));
      }
      return;
    }
    if (pic_.painter == "tab" && k.Text("corners") == "round") {
      if (back.alpha()) p.fillRect(r, back);
      const qreal radius = k.Int("radius", 4);
      QPainterPath path;
      path.moveTo(r.bottomLeft());
      path.lineTo(r.left(), r.top() + radius);
      path.quadTo(r.topLeft(), QPointF(r.left() + radius, r.top()));
      path.lineTo(r.right() - radius, r.top());
      path.quadTo(r.topRight(), QPointF(r.right(), r.top() + radius));
      path.lineTo(r.bottomRight());
      path.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(Fill(k, r));
      p.drawPath(path);
      p.save();
      p.setClipPath(path);
      Lines(p, k, frame);
      p.restore();
      return;
    }
    if (pic_.painter == "vtab") {
      p.fillRect(r, Fill(k, r));
      const int overlap = k.Int("overlap", 12);
      const QColor key = k.Color("key");
      const int w = frame.width();
      for (int y = 0; y < overlap; ++y) {
        const int cut = (overlap - y) * (w / 2 - 2) / overlap;  // slanted: wide at the top
        if (cut > 0) {
          p.fillRect(QRect(frame.left(), frame.top() + y, cut, 1), key);
          p.fillRect(QRect(frame.left() + w - cut, frame.top() + y, cut, 1), key);
        }
      }
      const QColor edge = k.Color("left_line", k.Color("border"));
      if (edge.alpha()) {
        for (int y = 0; y < overlap; ++y) {
          const int cut = (overlap - y) * (w / 2 - 2) / overlap;
          p.fillRect(QRect(frame.left() + cut, frame.top() + y, 1, 1), edge);
          p.fillRect(QRect(frame.left() + w - cut - 1, frame.top() + y, 1, 1), edge);
        }
        p.fillRect(QRect(frame.left(), frame.top() + overlap, 1, frame.height() - overlap), edge);
        p.fillRect(QRect(frame.right(), frame.top() + overlap, 1, frame.height() - overlap), edge);
      }
      if (k.Has("top_line")) p.fillRect(QRect(frame.left() + w / 2 - 2, frame.top(), 4, k.LineWidth("top_line")), k.Color("top_line"));
      if (k.Has("right_line")) {
        const int lw = k.LineWidth("right_line");
        p.fillRect(QRect(frame.right() - lw + 1, frame.top() + overlap, lw, frame.height() - overlap), k.Color("right_line"));
      }
      return;
    }
    p.fillRect(r, Fill(k, r));
    if (k.Has("grid")) {
      const int step = std::max(2, k.Int("grid_step", 20));
      for (int x = frame.left() + step; x < frame.right(); x += step) p.fillRect(QRect(x, frame.top(), 1, frame.height()), k.Color("grid"));
      for (int y = frame.top() + step; y < frame.bottom(); y += step) p.fillRect(QRect(frame.left(), y, frame.width(), 1), k.Color("grid"));
    }
    if (k.Has("band")) p.fillRect(k.Rect("band").translated(frame.topLeft()), k.Color("band_color"));
    if (k.Has("divider"))
      p.fillRect(QRect(frame.left() + 4, frame.top() + k.Int("divider", 0), frame.width() - 8, 1), k.Color("divider_color"));
    Lines(p, k, frame);
  }

  void Lines(QPainter& p, const FrameKeys& k, const QRect& frame) {
    if (k.Has("border")) {
      const int bw = k.LineWidth("border");
      const QColor c = k.Color("border");
      p.fillRect(QRect(frame.left(), frame.top(), frame.width(), bw), c);
      p.fillRect(QRect(frame.left(), frame.bottom() - bw + 1, frame.width(), bw), c);
      p.fillRect(QRect(frame.left(), frame.top(), bw, frame.height()), c);
      p.fillRect(QRect(frame.right() - bw + 1, frame.top(), bw, frame.height()), c);
    }
    if (k.Has("top_line")) p.fillRect(QRect(frame.left(), frame.top(), frame.width(), k.LineWidth("top_line")), k.Color("top_line"));
    if (k.Has("bottom_line")) {
      const int lw = k.LineWidth("bottom_line");
      p.fillRect(QRect(frame.left(), frame.bottom() - lw + 1, frame.width(), lw), k.Color("bottom_line"));
    }
    if (k.Has("left_line")) p.fillRect(QRect(frame.left(), frame.top(), k.LineWidth("left_line"), frame.height()), k.Color("left_line"));
    if (k.Has("right_line")) {
      const int lw = k.LineWidth("right_line");
      p.fillRect(QRect(frame.right() - lw + 1, frame.top(), lw, frame.height()), k.Color("right_line"));
    }
  }

  QRectF GlyphBox(const FrameKeys& k, const QRect& frame) {
    if (k.Has("glyph_rect")) return QRectF(k.Rect("glyph_rect").translated(frame.topLeft()));
    const int size = k.Int("glyph_size", std::max(4, std::min(frame.width(), frame.height()) * 6 / 10));
    const int width = k.Int("glyph_width", size);
    return QRectF(frame.left() + (frame.width() - width) / 2.0, frame.top() + (frame.height() - size) / 2.0, width, size);
  }

  bool Decorations(QPainter& p, const FrameKeys& k, const QRect& frame) {
    if (!CheckRect(k, "glyph_rect", frame) || !CheckRect(k, "label_rect", frame) || !CheckRect(k, "band", frame))
      return false;
    const QRectF box = GlyphBox(k, frame);
    if (k.Has("disc")) {
      p.setPen(Qt::NoPen);
      p.setBrush(k.Color("disc"));
      const qreal grow = box.width() * 0.3;
      p.drawEllipse(box.adjusted(-grow, -grow, grow, grow));
    }
    if (k.Has("glyph")) {
      const qreal pen = k.Int("glyph_pen", std::max(1, static_cast<int>(std::lround(box.height() / 7))));
      DrawGlyph(p, k.Text("glyph"), box, k.Color("glyph_color", Qt::white), pen,
                k.Color("track", k.Color("fill", k.Color("from"))));
    }
    if (!k.Has("label")) return true;
    const QFont font = LabelFont(k, frame.height());
    if (!CheckLabel(k, "label", font) || !CheckLabel(k, "label2", font)) return false;
    const QString first = QString::fromStdString(k.Text("label"));
    const QString second = QString::fromStdString(k.Text("label2"));
    const QRect area = k.Has("label_rect") ? k.Rect("label_rect").translated(frame.topLeft()) : frame;
    const QFontMetrics metrics(font);
    const int total = metrics.horizontalAdvance(first) + metrics.horizontalAdvance(second);
    const int x = area.left() + (area.width() - total) / 2;
    const int y = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
    p.setFont(font);
    p.setPen(k.Color("label_color", Qt::white));
    p.drawText(QPoint(x, y), first);
    p.setPen(k.Color("label2_color", k.Color("label_color", Qt::white)));
    p.drawText(QPoint(x + metrics.horizontalAdvance(first), y), second);
    return true;
  }

  bool PaintStill(QImage* image) {
    const bool keyed = pic_.keys.count("key") > 0;
    QPainter p(image);
    p.setRenderHint(QPainter::Antialiasing, !keyed);
    p.setRenderHint(QPainter::TextAntialiasing, !keyed);
    const int cw = pic_.size.width() / pic_.framesAcross;
    const int ch = pic_.size.height() / pic_.framesDown;
    const std::vector<std::string> columns = Words(pic_.keys.count("columns") ? pic_.keys.at("columns").text : "");
    for (int row = 0; row < pic_.framesDown; ++row) {
      for (int col = 0; col < pic_.framesAcross; ++col) {
        const int index = row * pic_.framesAcross + col;
        const FrameKeys k(d_, pic_, index, row, col);
        const QRect frame(col * cw, row * ch, cw, ch);
        if (pic_.painter == "cells") {
          Cell(p, k, frame, columns[col]);
          continue;
        }
        p.save();
        p.setClipRect(frame);
        Background(p, k, frame);
        const bool ok = Decorations(p, k, frame);
        p.restore();
        if (!ok) return false;
      }
    }
    return true;
  }

  // One scroll-bar cell.
  void Cell(QPainter& p, const FrameKeys& k, const QRect& frame, const std::string& kind) {
    const QColor face = k.Color("fill");
    const QColor border = k.Color("border");
    const QColor glyph = k.Color("glyph_color", Qt::white);
    const QColor track = k.Color("track");
    p.save();
    p.setClipRect(frame);
    if (kind == "vtrack" || kind == "htrack" || kind == "blank") {
      p.fillRect(frame, track);
      if (kind == "vtrack") {
        p.fillRect(QRect(frame.left(), frame.top(), 1, frame.height()), border);
      } else if (kind == "htrack") {
        p.fillRect(QRect(frame.left(), frame.top(), frame.width(), 1), border);
      }
      p.restore();
      return;
    }
    p.fillRect(frame, face);
    if (kind == "vthumb" || kind == "hthumb") {
      const QColor cap = k.Color("cap");
      const bool vertical = kind == "vthumb";
      if (vertical) {
        p.fillRect(QRect(frame.left(), frame.top(), frame.width(), 3), cap);
        p.fillRect(QRect(frame.left(), frame.bottom() - 2, frame.width(), 3), cap);
        for (int y : {6, 8, 10}) p.fillRect(QRect(frame.left() + 4, frame.top() + y - 1, 8, 1), glyph);
      } else {
        p.fillRect(QRect(frame.left(), frame.top(), 3, frame.height()), cap);
        p.fillRect(QRect(frame.right() - 2, frame.top(), 3, frame.height()), cap);
        for (int x : {6, 8, 10}) p.fillRect(QRect(frame.left() + x - 1, frame.top() + 4, 1, 8), glyph);
      }
      p.restore();
      return;
    }
    p.setPen(QPen(border, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5));
    const QRectF box(frame.left() + 4, frame.top() + 4, 8, 8);
    if (kind == "left") {
      DrawGlyph(p, "triangle_right", QRectF(box.right(), box.top(), -box.width(), box.height()), glyph, 1, face);
    } else if (kind == "right") {
      DrawGlyph(p, "triangle_right", box, glyph, 1, face);
    } else {
      DrawGlyph(p, kind == "up" ? "triangle_up" : "triangle_down", box, glyph, 1, face);
    }
    p.restore();
  }

  // The login animation: a candle chart drawing itself over a dark blue
  // ground, the title in the middle.
  bool PaintAnimation(std::vector<QImage>* images) {
    const FrameKeys k(d_, pic_, 0, 0, 0);
    const QRect all(QPoint(0, 0), pic_.size);
    const QFont font = LabelFont(k, pic_.size.height());
    if (!CheckLabel(k, "label", font) || !CheckLabel(k, "label2", font)) return false;
    const int candles = 40;
    std::vector<double> open(candles), close(candles), high(candles), low(candles);
    unsigned seed = 20260101;
    auto next = [&] {
      seed = seed * 1103515245u + 12345u;
      return ((seed >> 8) & 0xFFFF) / 65535.0;
    };
    double price = 0.45;
    for (int i = 0; i < candles; ++i) {
      open[i] = price;
      price = std::clamp(price + (next() - 0.45) * 0.08, 0.1, 0.9);
      close[i] = price;
      high[i] = std::max(open[i], close[i]) + next() * 0.04;
      low[i] = std::min(open[i], close[i]) - next() * 0.04;
    }
    // Spread the walk over the chart's height.
    const double lowest = *std::min_element(low.begin(), low.end());
    const double highest = *std::max_element(high.begin(), high.end());
    for (auto* series : {&open, &close, &high, &low})
      for (double& v : *series) v = 0.05 + 0.9 * (v - lowest) / (highest - lowest);
    const QRectF chart(30, 20, pic_.size.width() - 60, pic_.size.height() * 6 / 10);
    auto Y = [&](double v) { return chart.bottom() - v * chart.height(); };
    const qreal step = chart.width() / candles;
    for (int f = 0; f < pic_.animationFrames; ++f) {
      QImage image(pic_.size, QImage::Format_RGB32);
      QPainter p(&image);
      p.fillRect(all, Fill(k, QRectF(all)));
      const QColor grid = k.Color("grid");
      for (int i = 1; i < 6; ++i) p.fillRect(QRectF(chart.left(), chart.top() + i * chart.height() / 6, chart.width(), 1), grid);
      const int shown = (f + 1) * candles / pic_.animationFrames;
      for (int i = 0; i < shown; ++i) {
        const QColor c = close[i] >= open[i] ? k.Color("up") : k.Color("down");
        const qreal x = chart.left() + i * step + step / 2;
        p.fillRect(QRectF(std::floor(x), Y(high[i]), 1, Y(low[i]) - Y(high[i])), c);
        const qreal top = Y(std::max(open[i], close[i]));
        p.fillRect(QRectF(std::floor(x - step * 0.3), top, std::floor(step * 0.6) + 1, std::max<qreal>(1, Y(std::min(open[i], close[i])) - top)), c);
      }
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(k.Color("glyph_color", Qt::yellow), 1.5));
      QPolygonF average;
      for (int i = 4; i < shown; ++i) {
        double sum = 0;
        for (int j = i - 4; j <= i; ++j) sum += close[j];
        average << QPointF(chart.left() + i * step + step / 2, Y(sum / 5));
      }
      p.drawPolyline(average);
      p.setRenderHint(QPainter::Antialiasing, false);
      const FrameKeys titleKeys(d_, pic_, f, 0, 0);
      if (!Decorations(p, titleKeys, all)) return false;
      p.end();
      images->push_back(image);
    }
    return true;
  }

 private:
  const SkinDescription& d_;
  const SkinPicture& pic_;
  std::string* error_;
};

}  // namespace

bool CheckSkinFont(const SkinDescription& description, std::string* error) {
  if (QFontDatabase::hasFamily(QString::fromStdString(description.font))) return true;
  *error = "the font '" + description.font + "' is not installed";
  return false;
}

bool PaintSkinPicture(const SkinDescription& description, const SkinPicture& picture, std::vector<QImage>* images,
                      std::string* error) {
  PictureContext context(description, picture, error);
  if (picture.painter == "animation") return context.PaintAnimation(images);
  QImage image(picture.size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  if (!context.PaintStill(&image)) return false;
  images->push_back(image);
  return true;
}
