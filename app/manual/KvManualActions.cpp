#include "KvManualActions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QToolBar>

namespace {

const QString menuSeparator = QStringLiteral(" \u203a ");  // "Help › Keyboard Shortcuts"

// A table cell's text with Markdown's own characters taken literally.
QString cell(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (QStringLiteral("\\`*_[]<>|#").contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

// Keys are joined with a word: a comma would read as the key of "Ctrl+,".
QString keyCell(const QStringList &keys)
{
    QStringList cells;
    for (const QString &key : keys)
        cells << cell(key);
    return cells.join(QStringLiteral(" or "));
}

} // namespace

QString KvManualActions::plainText(const QString &text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            // "&&" is a literal ampersand; a lone one marks the mnemonic.
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&'))
                out += text.at(++i);
            continue;
        }
        out += text.at(i);
    }
    return out;
}

KvManualActions::KvManualActions(const QMainWindow &window)
{
    QHash<const QAction *, QString> bars;
    for (const QToolBar *bar : window.findChildren<QToolBar *>()) {
        for (const QAction *action : bar->actions()) {
            if (!bars.contains(action))
                bars.insert(action, bar->windowTitle());
        }
    }
    for (const QAction *entry : window.menuBar()->actions()) {
        if (const QMenu *menu = entry->menu())
            readMenu(menu, plainText(menu->title()), bars);
    }

    QSet<const QAction *> seen;
    for (const QMenu *menu : window.findChildren<QMenu *>()) {
        for (const QAction *action : menu->actions())
            seen.insert(action);
    }
    // Keys of actions that no menu shows still work in the window.
    for (const QAction *action : window.findChildren<QAction *>()) {
        if (!seen.contains(action) && !action->shortcuts().isEmpty() && !action->text().isEmpty())
            m_keyed << command(action, QString(), bars);
    }
}

void KvManualActions::readMenu(const QMenu *menu, const QString &title, const QHash<const QAction *, QString> &bars)
{
    const int index = m_menus.size();
    m_menus << KvManualMenu{title, {}};
    QList<const QMenu *> submenus;
    for (const QAction *action : menu->actions()) {
        // Separators, and the recent-file places that hold no file yet.
        if (action->isSeparator() || action->text().isEmpty())
            continue;
        if (const QMenu *sub = action->menu()) {
            submenus << sub;
            continue;
        }
        KvManualCommand c = command(action, title, bars);
        if (!action->icon().isNull()) {
            // Undo and Redo come from the undo stack, without an object name.
            c.icon = QStringLiteral("icon-%1").arg(m_icons.size());
            m_icons.insert(c.icon, action->icon().pixmap(32, 32).toImage());
        }
        m_menus[index].commands << c;
        // Menu by menu as they are read: the key table follows the menus.
        if (!c.keys.isEmpty())
            m_keyed << c;
    }
    for (const QMenu *sub : submenus)
        readMenu(sub, title + menuSeparator + plainText(sub->title()), bars);
}

KvManualCommand KvManualActions::command(const QAction *action, const QString &menu,
                                         const QHash<const QAction *, QString> &bars)
{
    KvManualCommand c;
    c.text = plainText(action->text());
    for (const QKeySequence &key : action->shortcuts())
        c.keys << key.toString(QKeySequence::NativeText);
    const QString tip = plainText(action->toolTip());
    if (tip != c.text && tip + QStringLiteral("...") != c.text)
        c.toolTip = tip;
    c.toolBar = bars.value(action);
    c.menu = menu;
    return c;
}

QString KvManualActions::menuMarkdown(int headingLevel) const
{
    QString out;
    const QString hashes(headingLevel, QLatin1Char('#'));
    for (const KvManualMenu &menu : m_menus) {
        out += QStringLiteral("%1 %2\n\n").arg(hashes, cell(menu.title));
        out += QStringLiteral("| | Command | Keys | Tool bar | Tool tip |\n|---|---|---|---|---|\n");
        for (const KvManualCommand &c : menu.commands) {
            const QString icon = c.icon.isEmpty() ? QString() : QStringLiteral("![%1](%2)").arg(cell(c.text), c.icon);
            out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                       .arg(icon, cell(c.text), keyCell(c.keys), cell(c.toolBar), cell(c.toolTip));
        }
        out += QLatin1Char('\n');
    }
    return out;
}

QString KvManualActions::shortcutMarkdown() const
{
    QString out = QStringLiteral("| Keys | Command | Menu |\n|---|---|---|\n");
    for (const KvManualCommand &c : m_keyed)
        out += QStringLiteral("| %1 | %2 | %3 |\n").arg(keyCell(c.keys), cell(c.text), cell(c.menu));
    return out + QLatin1Char('\n');
}
