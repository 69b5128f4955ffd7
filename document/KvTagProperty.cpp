#include "KvTagProperty.h"

#include <QCoreApplication>

QString KvTagProperty::formatTrackName(int number, bool useNumber, QString pattern) const
{
    pattern = pattern.trimmed();
    const int shown = useNumber ? number : m_tags.track;

    QString title = m_tags.title;
    if (title.trimmed().isEmpty())
        title = QCoreApplication::translate("KvTagProperty", "(Track %1)").arg(shown);

    if (pattern.isEmpty())
        return QCoreApplication::translate("KvTagProperty", "[%1] %2")
            .arg(QString("%1").arg(number, 2, 10, QChar('0')), title);

    static const char *const numberOrTitle[] = {"%00N", "%0N", "%N", "%T"};
    bool hasPlaceholder = false;
    for (const char *p : numberOrTitle)
        hasPlaceholder = hasPlaceholder || pattern.contains(QLatin1String(p));
    if (!hasPlaceholder)
        pattern.prepend(QLatin1String("%0N "));

    // The title goes in after the number placeholders (a "%N" in a title
    // stays) and before the artist (a "%A" in a title is filled).
    pattern.replace(QLatin1String("%00N"), QString("%1").arg(shown, 3, 10, QChar('0')));
    pattern.replace(QLatin1String("%0N"), QString("%1").arg(shown, 2, 10, QChar('0')));
    pattern.replace(QLatin1String("%N"), QString::number(shown));
    pattern.replace(QLatin1String("%T"), title);
    pattern.replace(QLatin1String("%A"), m_tags.artist);
    return pattern;
}
