#pragma once
// Lists that show every column whole in the room they have.
class QTableView;

namespace velmor::ui {

// Sizes the columns of `view` to their contents.  Where together they are
// wider than the view, the columns of words are narrowed (never below their
// heading or their longest word) and their text wraps onto more lines, so
// that no column hides behind a sideways scroll bar; the rows grow to their
// lines, and the last column takes the room left.  Done again whenever the view changes width; call it again after
// the list is filled.  For short lists (a stone's history, a small table):
// every row is measured.
void fitColumnsToWidth(QTableView *view);

// Sizes the columns of `view` to their contents and makes the list at least
// as wide as its columns (and a scroll bar), as far as its screen has room:
// its window widens rather than hide a column behind a sideways scroll bar.
// Call it again after the list is filled.
void showAllColumns(QTableView *view);

} // namespace velmor::ui
