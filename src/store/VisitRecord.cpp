#include "store/VisitRecord.h"

#include "analysis/LineCutter.h"
#include "store/VisitColumns.h"

namespace trawlmeter::store {

void fillVisitRecord(db::Recordset& recordset, std::string_view item,
                     const analysis::FieldLayout& layout) {
    std::size_t piece = 0;
    analysis::forEachPiece(item, [&](std::string_view text) {
        if (piece >= layout.pieceCount()) {
            return false;
        }
        if (const auto field = layout.fieldOfPiece(piece++)) {
            // A field the table lacks is skipped; the record is still written.
            (void)recordset.setField(kVisitColumns[*field], text);
        }
        return true;
    });
}

} // namespace trawlmeter::store
