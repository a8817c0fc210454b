#include "twips.h"

#include <QLabel>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace kalvera {
namespace {

constexpr char kLeft[] = "twipsLeft";
constexpr char kTop[] = "twipsTop";
constexpr char kWidth[] = "twipsWidth";
constexpr char kHeight[] = "twipsHeight";

int Stored(const QWidget* widget, const char* name, int pixels) {
    const QVariant value = widget->property(name);
    return value.isValid() ? value.toInt() : pixels * kTwipsPerPixel;
}

void Apply(QWidget* widget, const TwipsRect& rect) {
    widget->setProperty(kLeft, rect.left);
    widget->setProperty(kTop, rect.top);
    widget->setProperty(kWidth, rect.width);
    widget->setProperty(kHeight, rect.height);
    widget->setGeometry(TwipsToPixels(rect.left), TwipsToPixels(rect.top),
                        TwipsToPixels(rect.width), TwipsToPixels(rect.height));
}

// Halves to the even neighbour whatever the floating-point environment says.
long long RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    auto result = static_cast<long long>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0)) {
        ++result;
    }
    return result;
}

}  // namespace

int TwipsToPixels(int twips) {
    const int half = kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
}

TwipsRect GeometryTwips(const QWidget* widget) {
    const QRect pixels = widget->geometry();
    return {Stored(widget, kLeft, pixels.x()), Stored(widget, kTop, pixels.y()),
            Stored(widget, kWidth, pixels.width()), Stored(widget, kHeight, pixels.height())};
}

void SetGeometryTwips(QWidget* widget, const TwipsRect& rect) {
    Apply(widget, rect);
}

void SetLeftTwips(QWidget* widget, int left) {
    TwipsRect rect = GeometryTwips(widget);
    rect.left = left;
    Apply(widget, rect);
}

void SetTopTwips(QWidget* widget, int top) {
    TwipsRect rect = GeometryTwips(widget);
    rect.top = top;
    Apply(widget, rect);
}

void SetWidthTwips(QWidget* widget, int width) {
    TwipsRect rect = GeometryTwips(widget);
    rect.width = width;
    Apply(widget, rect);
}

void SetCaption(QLabel* label, const QString& caption) {
    label->setText(caption);
    label->adjustSize();
    TwipsRect rect = GeometryTwips(label);
    rect.width = label->width() * kTwipsPerPixel;
    rect.height = label->height() * kTwipsPerPixel;
    Apply(label, rect);
}

int CentredLeft(double containerWidth, double childWidth) {
    return static_cast<int>(RoundHalfEven(containerWidth) / 2 - RoundHalfEven(childWidth) / 2);
}

}  // namespace kalvera
