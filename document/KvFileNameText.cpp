#include "KvFileNameText.h"

QString simplifyText(const QString &text)
{
    static const char kReplaced[] = "/\\:*?\"<>|^";
    QString out = text;
    for (const char *c = kReplaced; *c; ++c)
        out.replace(QLatin1Char(*c), QLatin1Char(*c == ':' ? ' ' : '_'));
    // Control characters (a tag may hold any) become spaces, collapsed below.
    for (QChar &ch : out)
        if (ch.category() == QChar::Other_Control)
            ch = QLatin1Char(' ');
    out = out.simplified();
    while (!out.isEmpty() && out.endsWith(QLatin1Char('.'))) {
        out.chop(1);
        out = out.simplified();
    }
    return out.trimmed();
}
