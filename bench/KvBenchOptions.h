#pragma once
// Command-line options of the benchmark programs: "--name VALUE" pairs.
#include <QString>
#include <QStringList>

// Takes "name VALUE" out of args into value. Absent: true, value unchanged;
// without a value, not a number or negative: false.
template <typename T>
bool takeOption(QStringList &args, const QString &name, T &value)
{
    const int i = args.indexOf(name);
    if (i < 0)
        return true;
    if (i + 1 >= args.size())
        return false;
    bool ok = false;
    const double number = args.at(i + 1).toDouble(&ok);
    value = T(number);
    args.removeAt(i + 1);
    args.removeAt(i);
    return ok && number >= 0;
}
