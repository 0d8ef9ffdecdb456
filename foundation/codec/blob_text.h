// Texts stored in BLOB columns: UTF-16LE behind a byte-order mark, through the codecs of the
// column's row (foundation/data/single_data_source.h). Databases written by older versions end a
// stored text with one zero character, which is not part of the text.
//
// Thread-safety: stateless functions on the caller's data source.
#pragma once

#include <string>
#include <string_view>

class CSingleDataSource;

namespace korvalis {

// The text in column 1 of the first row that `sql` selects, after the codecs: its UTF-16
// units (an odd last byte is no unit), without the byte-order mark and without one zero
// character at its end. Empty for an empty or NULL BLOB. Throws as CSingleDataSource::ReadBlob,
// "没有找到数据: " and the statement when no row is selected.
std::u16string ReadBlobText(CSingleDataSource& data_source, const std::u16string& sql,
                            int compression = 0, int encryption = 0);

// Writes `text` (its units as they are, behind a byte-order mark) into column 1 of the first
// row that `sql` selects, through the codecs. The empty text stores NULL. Throws as
// CSingleDataSource::WriteBlob.
void WriteBlobText(CSingleDataSource& data_source, const std::u16string& sql,
                   std::u16string_view text, int compression = 0, int encryption = 0);

}  // namespace korvalis
