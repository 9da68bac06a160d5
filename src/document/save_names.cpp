#include "document/save_names.h"

namespace {

// "bin" or "hex" in the case of the typed extension, letter by letter; letters beyond its
// length follow its last letter. Without an extension they are lower case.
QString InCaseOf(const QString& typed, const char* extension) {
    QString result = QString::fromLatin1(extension);
    for (qsizetype i = 0; i < result.size() && !typed.isEmpty(); ++i)
        if (typed.at(qMin(i, typed.size() - 1)).isUpper())
            result[i] = result.at(i).toUpper();
    return result;
}

} // namespace

SaveNames MakeSaveNames(const QString& chosen) {
    const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
    const QString folder = chosen.left(slash + 1);
    QString stem = chosen.mid(slash + 1);
    QString typed;
    const qsizetype dot = stem.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) { // a leading dot starts a hidden name, not an extension
        typed = stem.mid(dot + 1);
        stem.truncate(dot);
    }
    const QString start = folder + stem + QLatin1Char('.');
    return {start + InCaseOf(typed, "bin"), start + InCaseOf(typed, "hex")};
}
