#pragma once

class QPainter;

// The pixel ratios painting code scales its pens with. The controller
// implements it; document code never sees the controller.
class KvPaintMetrics
{
public:
    virtual ~KvPaintMetrics() = default;

    // Notes the device pixel ratio the painter draws on and returns the
    // whole ratio the views draw with (it only grows); null gives it as is.
    virtual int checkPainterPixelRatio(QPainter *painter) = 0;
    // The device pixel ratio to draw with.
    virtual double devicePixelRatio() = 0;
};
