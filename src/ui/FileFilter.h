#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <string_view>

namespace trawlmeter::ui {

struct NameFilter {
    QString description;
    // File-name patterns as the file system model matches them.
    QStringList patterns;
};

// Reads a filter text of alternating descriptions and patterns separated by "|"
// ("IIS Log Files (*.log)|*.log|All Files (*.*)|*.*"). A pattern field may hold several
// patterns separated by ";". "*.*" means every file, names without a dot included, so it
// becomes "*". A trailing description without a pattern is dropped.
QList<NameFilter> parseFileFilter(std::string_view filter);

} // namespace trawlmeter::ui
