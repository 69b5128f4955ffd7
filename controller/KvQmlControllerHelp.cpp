// The help tour of the touch interface: a fixed sequence of pages, each shown
// once and only when the user has got where it makes sense, and the usage
// flags it waits for (written on every platform).
#include "KvQmlController.h"

#include <KvUiServices.h>

#include <QSettings>

namespace {

const char kGroup[] = "HelpUsage";

bool flag(const QSettings &settings, const QString &name)
{
    return settings.value(QLatin1String(kGroup) + QLatin1Char('/') + name, false).toBool();
}

QString pageKey(const QString &id) { return QLatin1String(kGroup) + QLatin1String("/HelpId-") + id; }

} // namespace

void KvQmlController::setHelpUsage(const char *name)
{
    QSettings().setValue(QLatin1String(kGroup) + QLatin1Char('/') + QLatin1String(name), true);
}

void KvQmlController::addHelpPage(const QString &id, const QString &title, const QString &text)
{
    m_helpPages.append(HelpPage{id, title, text});
}

void KvQmlController::buildHelpPages()
{
    addHelpPage(QStringLiteral("help_welcome"), tr("Welcome to mp3Morvelta"),
                tr("To help you get started using\nour app we recommend that you\nfollow this short guide."));
    addHelpPage(QStringLiteral("help_top_logo_record"), tr("To record your own audio"),
                tr("Touch the logo or drag from\nthe left, then touch Record."));
    addHelpPage(QStringLiteral("help_top_logo_search"), tr("You can search for\naudio on your device"),
                tr("Touch the logo or drag from\nthe left, then touch Search."));
    addHelpPage(QStringLiteral("help_popup_menu_open"), tr("Importing/Opening a file"),
                tr("Touch the icon for the Import or File menu\nwhere you can import or open an existing file."));
    addHelpPage(QStringLiteral("help_edit_timers"), tr("Timer display"),
                tr("The timer display shows the\ncurrent time position and\nthe selected time duration."));
    addHelpPage(QStringLiteral("help_sel_start_end"), tr("Selecting audio for editing"),
                tr("To select drag the audio display\nleft or right before setting the\nstart and end points for "
                   "editing."));
    addHelpPage(QStringLiteral("help_icon_menu"), tr("Editing audio"),
                tr("The popup menu can be used to edit\nthe selected audio. Commands can be\nrepeated using the "
                   "adjacent button.\nYou can also split audio into tracks."));
    addHelpPage(QStringLiteral("help_popup_menu_tempo_ctrl"), tr("Pitch/Tempo Controls"),
                tr("Touch the icon for the pitch and tempo\ncontrols. You can change the pitch and\ntempo during "
                   "playback and if you want\nto save the changes to a new file you\ncan also use the Convert "
                   "option."));
    addHelpPage(QStringLiteral("help_popup_menu_navigate_ctrl"), tr("Navigate Controls"),
                tr("Touch the icon for the navigate controls.\nthe various options allow you to quickly\nnavigate "
                   "through the project to any location."));
    addHelpPage(QStringLiteral("help_popup_menu_export"), tr("Exporting audio files"),
                tr("When you are done editing you can export\naudio to a new file or set of tracks.\nAll with no "
                   "quality loss!"));
    addHelpPage(QStringLiteral("help_popup_menu_convert"), tr("Converting audio"),
                tr("When you are done editing you can\nnow convert audio to a new file\nformat (MP3 or AAC) with "
                   "new\nsettings. You can even convert audio\nwith pitch and tempo changes."));
}

bool KvQmlController::UpdateHelpUsage(const QString &id)
{
    const QSettings s;
    if (id == QLatin1String("help_welcome") || id == QLatin1String("help_top_logo_record"))
        return true;
    if (id == QLatin1String("help_top_logo_search"))
        return flag(s, QStringLiteral("RecordPane"));
    if (id == QLatin1String("help_popup_menu_open"))
        return flag(s, QStringLiteral("SearchPane"));
    if (id == QLatin1String("help_edit_timers") || id == QLatin1String("help_sel_start_end"))
        return flag(s, QStringLiteral("FileOpen")) && hasFragments();
    if (id == QLatin1String("help_icon_menu"))
        return flag(s, QStringLiteral("FileOpen")) && hasSelection();
    if (id == QLatin1String("help_popup_menu_tempo_ctrl"))
        return flag(s, QStringLiteral("EditDone"));
    if (id == QLatin1String("help_popup_menu_navigate_ctrl"))
        return flag(s, QStringLiteral("PitchTempo"));
    if (id == QLatin1String("help_popup_menu_export"))
        return flag(s, QStringLiteral("Navigate"));
    if (id == QLatin1String("help_popup_menu_convert"))
        return flag(s, QStringLiteral("ExportDone"));
    return false;
}

void KvQmlController::recordHelpUsage()
{
    if (m_showHelp || m_navDrawerPaneName != QLatin1String("edit"))
        return;
    const QSettings s;
    // Pages come strictly in table order: the first one not yet seen, when it is due.
    const HelpPage *next = nullptr;
    if (!flag(s, QStringLiteral("HelpCancelled"))) {
        for (const HelpPage &page : qAsConst(m_helpPages)) {
            if (!s.value(pageKey(page.id), false).toBool()) {
                next = &page;
                break;
            }
        }
    }
    if (!next) {
        setActiveHelpName(QString());
        setShowHelp(true);
        return;
    }
    if (UpdateHelpUsage(next->id) && next->id != m_activeHelpName) {
        setActiveHelpName(next->id);
        setShowHelp(true);
    }
}

void KvQmlController::setActiveHelpName(const QString &name)
{
    if (!assignAndNotify(m_activeHelpName, name, &KvQmlController::activeHelpNameChanged))
        return;
    m_tourTicks = 0;
    for (const HelpPage &page : qAsConst(m_helpPages)) {
        if (page.id == name) {
            assignAndNotify(m_helpTitle, page.title, &KvQmlController::helpTitleChanged);
            assignAndNotify(m_helpText, page.text, &KvQmlController::helpTextChanged);
            break;
        }
    }
}

void KvQmlController::setShowHelp(bool show)
{
    if (!assignAndNotify(m_showHelp, show, &KvQmlController::showHelpChanged))
        return;
    m_tourTicks = 0;
    // Closing a page marks it as seen.
    if (!show && !m_activeHelpName.isEmpty())
        QSettings().setValue(pageKey(m_activeHelpName), true);
}

void KvQmlController::setNavDrawerPaneName(const QString &name)
{
    if (!assignAndNotify(m_navDrawerPaneName, name, &KvQmlController::navDrawerPaneNameChanged))
        return;
    m_tourTicks = 0;
    if (name == QLatin1String("record"))
        setHelpUsage("RecordPane");
    else if (name == QLatin1String("search"))
        setHelpUsage("SearchPane");
    CheckIsDarkMode(uiServices().palette());
}

void KvQmlController::actionTakeTour()
{
    QSettings().remove(QLatin1String(kGroup));
    setActiveHelpName(QString());
    setShowHelp(false);
}

void KvQmlController::actionCancelTour()
{
    setHelpUsage("HelpCancelled");
    setActiveHelpName(QString());
    setShowHelp(true);
}
