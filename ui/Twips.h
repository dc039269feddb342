#pragma once
// Window layouts are written in twips (1/1440 inch), the unit the window
// definitions use; 15 twips make one logical pixel at 96 dots per inch.

#include <QRect>

namespace ui {

inline constexpr int kTwipsPerPixel = 15;

// Twips to logical pixels, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips) {
    return (twips >= 0 ? twips + kTwipsPerPixel / 2 : twips - kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// A rectangle given in twips (relative to the containing window or group),
// in logical pixels.
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

}  // namespace ui
