#include "KvDialogTexts.h"

#include <QAbstractButton>
#include <QCoreApplication>

const char kvFormProductName[] = "mp3Morvelta";

QString withQuotedAppName(QString text)
{
    return text.replace(QLatin1String(kvFormProductName),
                        QStringLiteral("'%1'").arg(QCoreApplication::applicationName()));
}

void reflowShowAgainText(QAbstractButton *box, bool wide)
{
    QString text = box->text();
    if (wide)
        text.replace(QLatin1String("show this\n"), QLatin1String("show this "));
    else
        text.replace(QLatin1String("show this "), QLatin1String("show this\n"));
    box->setText(text);
}
