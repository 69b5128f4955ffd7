// Folders, the save dialog routine, time texts and the interface colours.
#include "KvQmlController.h"

#include <KvUiServices.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QStandardPaths>
#include <QTime>

namespace {
QString firstLocation(QStandardPaths::StandardLocation location)
{
    const QStringList list = QStandardPaths::standardLocations(location);
    return list.isEmpty() ? QString() : list.first();
}
} // namespace

void KvQmlController::setLastOpenPath(const QString &path)
{
    if (path == m_lastOpenPath)
        return;
    m_lastOpenPath = path;
    emit lastOpenPathChanged(path);
    emit lastOpenPathUrlChanged(lastOpenPathUrl());
}

QUrl KvQmlController::lastOpenPathUrl() const
{
    return m_lastOpenPath.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_lastOpenPath);
}

void KvQmlController::setLastOpenPathUrl(const QUrl &url) { setLastOpenPath(url.toLocalFile()); }

QString KvQmlController::defaultFilesPath()
{
    const QString music = firstLocation(QStandardPaths::MusicLocation);
    const QString documents = firstLocation(QStandardPaths::DocumentsLocation);
    if (!music.isEmpty() && !QFileInfo::exists(music))
        QDir().mkpath(music);
    if (!music.isEmpty() && QFileInfo::exists(music))
        return music;
    if (!documents.isEmpty() && QFileInfo::exists(documents))
        return documents;
    return QString();
}

QString KvQmlController::defaultFilesDirectory() const
{
    return QUrl::fromLocalFile(defaultFilesPath()).toString();
}

QString KvQmlController::getAudioSaveFileName(QWidget *parent, const QString &caption,
                                              const QString &dir, const QString &format)
{
    QString filter;
    QString suffix = format;
    if (format == QLatin1String("kvlproj")) {
        filter = tr("mp3Morvelta Projects (*.kvlproj)");
    } else if (format == QLatin1String("mp3")) {
        filter = tr("MP3 Audio Files (*.mp3)");
    } else if (format == QLatin1String("m4a")) {
        filter = tr("AAC MPEG-4 Audio Files (*.m4a)");
    } else if (format == QLatin1String("adts")) {
        filter = tr("AAC ADTS Audio Files (*.aac)");
    } else if (format == QLatin1String("aac")) {
        filter = tr("AAC MPEG-4/ADTS Audio Files (*.m4a *.m4b *.m4r *.aac)");
        suffix = QStringLiteral("m4a");
    } else if (format == QLatin1String("wav")) {
        filter = tr("Waveform Audio Files (*.wav)");
    }
    KvUiServices &ui = registeredUi();
    QString name = ui.saveFileName(parent, caption, dir, filter);
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        name += QLatin1Char('.') + suffix;
        if (QFileInfo::exists(name)) {
            const int answer = ui.message(
                parent, KvUi::Warning, QCoreApplication::applicationName(),
                tr("The file \"%1\" already exists, Do you wish to overwrite it?")
                    .arg(QFileInfo(name).fileName()),
                KvUi::Yes | KvUi::No, KvUi::NoButton);
            if (answer != KvUi::Yes)
                return QString();
        }
    }
    return name;
}

QString KvQmlController::timeToString(qint64 ms, bool allowShort, bool exact)
{
    if (!exact) {
        const qint64 q = ms / 10;
        const qint64 r = ms - 10 * q;
        ms = 10 * q + (r >= 5 ? 10 : 0);
    }
    const qint64 h = ms / 3600000;
    const QTime t = QTime(0, 0).addMSecs(int(ms - h * 3600000));
    QString text;
    if (!allowShort || h > 0)
        text = QStringLiteral("%1:%2").arg(h).arg(t.toString(QStringLiteral("mm:ss.zzz")));
    else if (t.minute() < 1)
        text = t.toString(QStringLiteral("ss.zzz"));
    else
        text = t.toString(QStringLiteral("mm:ss.zzz"));
    if (!exact)
        text.chop(1);
    return text;
}

void KvQmlController::setUiWindowColor(const QColor &color)
{
    if (color == m_uiWindowColor)
        return;
    m_uiWindowColor = color;
    emit uiWindowColorChanged(color);
}

void KvQmlController::setUiTextColor(const QColor &color)
{
    if (color == m_uiTextColor)
        return;
    m_uiTextColor = color;
    emit uiTextColorChanged(color);
}

void KvQmlController::setIsDarkModeOption(bool on)
{
    if (on == m_isDarkModeOption)
        return;
    m_isDarkModeOption = on;
    emit isDarkModeOptionChanged(on);
}

QString KvQmlController::dmDir() const { return m_isDarkMode ? QStringLiteral("+dm/") : QString(); }

void KvQmlController::loadPaletteColors(QColor &windowColor, QColor &textColor) const
{
    const QPalette pal = QGuiApplication::palette();
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
