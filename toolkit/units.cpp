// Screen size and unit conversion over QScreen.
#include "units.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace tk {

namespace {

const QScreen* primary()
{
    return QGuiApplication::primaryScreen();
}

} // namespace

double devicePixelRatio()
{
    const QScreen* s = primary();
    return s ? s->devicePixelRatio() : 1.0;
}

float TwipsPerPixelX()
{
    const QScreen* s = primary();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return float(1440.0 / (dpi * devicePixelRatio()));
}

float TwipsPerPixelY()
{
    const QScreen* s = primary();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return float(1440.0 / (dpi * devicePixelRatio()));
}

float ScaleX(float twips)
{
    return twips / TwipsPerPixelX();
}

float ScaleY(float twips)
{
    return twips / TwipsPerPixelY();
}

float ScreenWidth()
{
    const QScreen* s = primary();
    const double px = s ? std::round(s->geometry().width() * devicePixelRatio()) : 0.0;
    return float(px) * TwipsPerPixelX();
}

float ScreenHeight()
{
    const QScreen* s = primary();
    const double px = s ? std::round(s->geometry().height() * devicePixelRatio()) : 0.0;
    return float(px) * TwipsPerPixelY();
}

int toLogical(int devicePixels)
{
    const double r = devicePixelRatio();
    return r == 1.0 ? devicePixels : int(std::lround(devicePixels / r));
}

int toDevice(int logicalPixels)
{
    const double r = devicePixelRatio();
    return r == 1.0 ? logicalPixels : int(std::lround(logicalPixels * r));
}

} // namespace tk
