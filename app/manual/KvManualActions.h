#pragma once
// The program's commands as its main window holds them, for the manual: the
// menus in menu-bar order with their commands, and every key of every action.
// Read from a constructed window, so that the manual cannot drift from it.
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QAction;
class QMainWindow;
class QMenu;

struct KvManualCommand {
    QString text;      // as the menu shows it, without the mnemonic mark
    QStringList keys;  // as the menu shows them
    QString toolTip;   // empty when it would only repeat the text
    QString toolBar;   // the tool bar that carries it, if any
    QString icon;      // the name of its icon among the images, empty without one
    QString menu;      // the menu that holds it, e.g. "Help › Keyboard Shortcuts"
};

struct KvManualMenu {
    QString title;  // e.g. "Edit" or "Help › Keyboard Shortcuts"
    QList<KvManualCommand> commands;
};

class KvManualActions {
public:
    explicit KvManualActions(const QMainWindow &window);

    // The menu commands' icons by name, for the document's images.
    const QHash<QString, QImage> &icons() const { return m_icons; }

    // Markdown: one table per menu under its own heading of the given level,
    // and the table of keys.
    QString menuMarkdown(int headingLevel) const;
    QString shortcutMarkdown() const;

    // A menu or button text as the user reads it: "Ex&port All As..." gives
    // "Export All As...".
    static QString plainText(const QString &text);

private:
    void readMenu(const QMenu *menu, const QString &title, const QHash<const QAction *, QString> &bars);
    static KvManualCommand command(const QAction *action, const QString &menu, const QHash<const QAction *, QString> &bars);

    QList<KvManualMenu> m_menus;
    // Every action of the window that has keys: those of the menus in menu
    // order, then any other.
    QList<KvManualCommand> m_keyed;
    QHash<QString, QImage> m_icons;
};
