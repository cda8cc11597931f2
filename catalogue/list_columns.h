// The last column of a list takes the width the list gains.
#pragma once

class QTableView;

// From now on, whenever `view` is wider than it is now, its last column is widened to end at the
// list's right edge (never narrower than its own width). The columns keep the widths they have
// now until then, and a column the operator resizes keeps the width it was given; the last
// column, resized by hand, takes that as its own width.
void StretchLastColumn(QTableView* view);
