// Appearance: the interface colours and dark mode, the screen's density, the
// sizes scaled with it, and the pixel ratios the painters draw with.
#include "KvQmlController.h"

#include <KvUiServices.h>

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>

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

QString KvQmlController::dmDir() const { return m_isDarkMode ? QStringLiteral("+dm/") : QString(); }

void KvQmlController::loadPaletteColors(QColor &windowColor, QColor &textColor) const
{
    const QPalette pal = uiServices().palette();
    textColor = pal.color(QPalette::WindowText);
    windowColor = pal.color(QPalette::Window);
    // The user asks for a dark interface on a light system palette: swap the two.
    if (m_isDarkModeOption && textColor.value() <= windowColor.value())
        std::swap(textColor, windowColor);
}

void KvQmlController::CheckIsDarkMode(const QPalette &)
{
    KvQmlController *c = instance();
    if (!c)
        return;
    QColor window, text;
    c->loadPaletteColors(window, text);
    c->setUiWindowColor(window);
    c->setUiTextColor(text);
    const bool dark = text.value() > window.value();
    if (dark != c->m_isDarkMode) {
        c->m_isDarkMode = dark;
        emit c->isDarkModeChanged(dark);
        emit c->dmDirChanged(c->dmDir());
        c->refreshAfterUndo();
    }
}

QColor KvQmlController::darkModeColor(QColor value) const
{
    if (!m_isDarkMode)
        return value;
    qreal h, s, l, a;
    value.getHslF(&h, &s, &l, &a);
    return QColor::fromHslF(h, s, 1.0 - l, 1.0);
}

QColor KvQmlController::registeredDarkModeColor(const QColor &value)
{
    const KvQmlController *c = instance();
    return c ? c->darkModeColor(value) : value;
}

bool KvQmlController::registeredIsDarkMode()
{
    const KvQmlController *c = instance();
    return c && c->isDarkMode();
}

double KvQmlController::calcScreenPixelDensity()
{
    const QScreen *screen = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    if (!screen)
        return 160.0;
    return calcScreenPixelDensity(std::max(screen->physicalDotsPerInch(), screen->logicalDotsPerInch()),
                                  screen->physicalSize());
}

double KvQmlController::calcScreenPixelDensity(double dpi, const QSizeF &physicalSizeMm)
{
    if (dpi == 0.0 || std::isinf(dpi))
        return 160.0;
    const double width = physicalSizeMm.width();
    const double height = physicalSizeMm.height();
    if (width == 0.0 || height == 0.0 || std::isinf(width) || std::isinf(height))
        return dpi;
    // Small screens are held close, large ones further away: 0.75 to 1.5 times the dots.
    const double side = qBound(100.0, std::max(width, height), 250.0);
    return dpi * 0.75 * std::sqrt(1.0 + (side - 100.0) * 0.02);
}

namespace {

int scaledSize(double value, double reference, int adjust)
{
    const double step = adjust < 0 ? 0.05 : 0.1;
    return int(KvQmlController::calcScreenPixelDensity() * (1.0 + adjust * step / 5.0) / reference * value);
}

} // namespace

int KvQmlController::scaledDp(double dp)
{
    const KvQmlController *c = instance();
    return scaledSize(dp, 160.0, c ? c->m_iconSizeAdjust : 0);
}

int KvQmlController::scaledPct(double pct)
{
    const KvQmlController *c = instance();
    return scaledSize(pct, 100.0, c ? c->m_fontSizeAdjust : 0);
}

void KvQmlController::recalcScreenPixelDensity(double) { recalcScreenPixelDensity(); }

void KvQmlController::recalcScreenPixelDensity()
{
    assignAndNotify(m_screenPixelDensity, calcScreenPixelDensity(), &KvQmlController::screenPixelDensityChanged);
    emit calcViews();
}

void KvQmlController::recalcScreenPixelDensity2(QScreen *) { recalcScreenPixelDensity(); }

QString KvQmlController::uiStyleSheet() const
{
    return QStringLiteral(
               "QCheckBox {font-size: %7px; border: %1px;spacing: %6px;} QCheckBox::indicator {width: %5px; "
               "height: %5px; } QLabel {font-size: %2px; border: %1px; } QLineEdit {font-size: %2px; border: "
               "%1px; } QComboBox {font-size: %2px; border: %1px; min-width: %2px; min-height: %3px; } "
               "QComboBox::drop-down {border: %1px; min-width: %2px; min-height: %4px; } ")
        .arg(scaledDp(0))
        .arg(scaledDp(24))
        .arg(scaledDp(80))
        .arg(scaledDp(82))
        .arg(scaledDp(20))
        .arg(scaledDp(14))
        .arg(scaledDp(20));
}
