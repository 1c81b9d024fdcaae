// Screen size and unit conversion. A "pixel" here is a device pixel, so that
// on a high-DPI screen the canvas is drawn one image pixel per screen pixel;
// twips are 1/1440 inch.
#pragma once

class QWidget;

namespace tk {

// Device pixels per logical (Qt) pixel of the primary screen.
double devicePixelRatio();

// Twips per device pixel, horizontally and vertically (15 at 96 DPI).
float TwipsPerPixelX();
float TwipsPerPixelY();

// Twips to device pixels, in single precision.
float ScaleX(float twips);
float ScaleY(float twips);

// The primary screen's size in twips.
float ScreenWidth();
float ScreenHeight();

// Device pixels <-> Qt's logical pixels for widget geometry.
int toLogical(int devicePixels);
int toDevice(int logicalPixels);

} // namespace tk
