#pragma once
// The font reports are printed in.
//
// A PDF tells a reader which character each glyph stands for through a table built from
// the font's own character map, and Qt's PDF writer keeps, for each glyph, the lowest code
// point that maps to it. CJK fonts such as Noto Sans CJK draw the Kangxi radicals
// (U+2F00..) and the CJK radicals supplement (U+2E80..) with the very glyphs of the
// ideographs they look like, so text copied or searched in such a PDF reads 支 as ⽀
// (U+2F40). Reports therefore take their Chinese from a font that gives no code point below
// the ideographs a glyph of an ideograph; Latin letters and digits come from DejaVu Sans.
#include <QFont>
#include <QRawFont>
#include <QString>

namespace ReportFont {

// True when no code point from U+2E80 up to U+4DFF shares its glyph with a unified
// ideograph (U+4E00..U+9FFF), so every ideograph reads back as itself.
bool mapsIdeographsBack(const QRawFont &font);

// The first installed Chinese font that reads back whole (checked once), or the program's
// own Chinese font when none does.
QString chineseFamily();

// The report font at a size in points.
QFont font(double pointSize, bool bold = false);

} // namespace ReportFont
