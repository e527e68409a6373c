// The table as a cursor: positions, bookmarks and moves over the current index.
#include "engine/table/data_file.h"

namespace tarnel {

TDataFile::TCursorMemo TDataFile::RememberPosition() { return TCursorMemo(); }

void TDataFile::ReturnToPosition(const TCursorMemo& memo) { (void)memo; }

}  // namespace tarnel
