#pragma once

#include <QString>

class QWidget;
class QLabel;

namespace kalvera {

// The window is laid out in twips, as its procedures compute with them. A widget keeps its
// position and size in twips beside Qt's pixel geometry; reading them back gives exactly what
// was set (or, for a label that sized itself to its caption, its pixel size times 15), never a
// value rounded through pixels.
inline constexpr int kTwipsPerPixel = 15;

// Nearest whole pixel; halves go away from zero (-10 twips is -1 pixel).
int TwipsToPixels(int twips);

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

TwipsRect GeometryTwips(const QWidget* widget);
void SetGeometryTwips(QWidget* widget, const TwipsRect& rect);
void SetLeftTwips(QWidget* widget, int left);
void SetTopTwips(QWidget* widget, int top);
void SetWidthTwips(QWidget* widget, int width);

// Sets a label's caption and, like every label of this window, sizes it to the caption at
// once, so its width in twips can be read back right away.
void SetCaption(QLabel* label, const QString& caption);

// Left edge that centres a child in a container: each width is rounded to a whole number
// (halves to the even neighbour) and halved by integer division truncating toward zero.
// 5220 and 2901 give 2610 - 1450 = 1160.
int CentredLeft(double containerWidth, double childWidth);

}  // namespace kalvera
