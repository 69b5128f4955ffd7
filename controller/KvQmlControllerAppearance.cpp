// Pixel ratios the painters scale with.
#include "KvQmlController.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QScreen>
#include <QWindow>

int KvQmlController::checkPainterPixelRatio(QPainter *painter)
{
    if (painter && painter->device()) {
        const int ratio = painter->device()->devicePixelRatio();
        if (ratio > m_painterPixelRatio) {
            m_painterPixelRatio = ratio;
            emit calcViews();
        }
    }
    return m_painterPixelRatio;
}

double KvQmlController::devicePixelRatioFor(KvQmlController *controller)
{
    if (!controller)
        return 1.0;
    // Under the desktop window Qt scales for us.
    if (controller->parent() && controller->parent()->isWidgetType()) {
        controller->setScreenDevicePixelRatio(1.0);
        return 1.0;
    }
    double ratio = 1.0;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        ratio = screen->devicePixelRatio();
    const QWindowList windows = QGuiApplication::topLevelWindows();
    if (!windows.isEmpty())
        ratio = windows.first()->devicePixelRatio();
    controller->setScreenDevicePixelRatio(ratio);
    return ratio;
}

void KvQmlController::setScreenDevicePixelRatio(double ratio)
{
    if (ratio == m_screenDevicePixelRatio)
        return;
    m_screenDevicePixelRatio = ratio;
    emit screenDevicePixelRatioChanged(ratio);
}
