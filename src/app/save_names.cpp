#include "app/save_names.h"

SaveNames MakeSaveNames(const QString& chosen) {
    const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
    const QString folder = chosen.left(slash + 1);
    QString base = chosen.mid(slash + 1);
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) // a leading dot starts a hidden name, not an extension
        base.truncate(dot);
    base = base.toLower();
    return {folder + base + QStringLiteral(".bin"), folder + base + QStringLiteral(".hex")};
}
