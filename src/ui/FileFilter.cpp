#include "ui/FileFilter.h"

namespace trawlmeter::ui {

QList<NameFilter> parseFileFilter(std::string_view filter) {
    const QStringList fields =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split(u'|');
    QList<NameFilter> filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        NameFilter entry{fields[i], {}};
        for (const QString& piece : fields[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString pattern = piece.trimmed();
            if (!pattern.isEmpty()) {
                entry.patterns << (pattern == u"*.*" ? QStringLiteral("*") : pattern);
            }
        }
        filters << entry;
    }
    return filters;
}

} // namespace trawlmeter::ui
