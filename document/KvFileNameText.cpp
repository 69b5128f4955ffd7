#include "KvFileNameText.h"

QString simplifyText(const QString &text)
{
    static const char kReplaced[] = "/\\:*?\"<>|^";
    QString out = text;
    for (const char *c = kReplaced; *c; ++c)
        out.replace(QLatin1Char(*c), QLatin1Char(*c == ':' ? ' ' : '_'));
    out = out.simplified();
    while (!out.isEmpty() && out.endsWith(QLatin1Char('.'))) {
        out.chop(1);
        out = out.simplified();
    }
    return out.trimmed();
}
