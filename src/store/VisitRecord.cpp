#include "store/VisitRecord.h"

namespace trawlmeter::store {

void fillVisitRecord(db::Recordset& recordset, const std::vector<std::string_view>& pieces,
                     const FieldLayout& layout) {
    for (std::size_t piece = 0; piece < pieces.size() && piece < layout.pieceCount(); ++piece) {
        const auto column = layout.columnForPiece(piece);
        if (!column.empty()) {
            // A field the table lacks is skipped; the record is still written.
            (void)recordset.setField(column, pieces[piece]);
        }
    }
}

} // namespace trawlmeter::store
