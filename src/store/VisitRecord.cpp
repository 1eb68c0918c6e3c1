#include "store/VisitRecord.h"

#include "store/LineCutter.h"

namespace trawlmeter::store {

void fillVisitRecord(db::Recordset& recordset, std::string_view item, const FieldLayout& layout) {
    std::size_t piece = 0;
    forEachPiece(item, [&](std::string_view text) {
        if (piece >= layout.pieceCount()) {
            return false;
        }
        const auto column = layout.columnForPiece(piece++);
        if (!column.empty()) {
            // A field the table lacks is skipped; the record is still written.
            (void)recordset.setField(column, text);
        }
        return true;
    });
}

} // namespace trawlmeter::store
