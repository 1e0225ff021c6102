// The sheet selection: the rules the commands rely on (clamping, the anchor
// at the first corner) and the document handing its selection to a view's
// shared one and taking it back.

#include "document/sheetselection.h"

#include <gtest/gtest.h>

#include "document/cqorsdoc.h"

using qor::SheetSelection;

TEST(SheetSelection, SelectingClampsAndAnchorsAtTheFirstCorner) {
    SheetSelection s;
    EXPECT_FALSE(s.Exists());
    s.SetSelection(5, 4, -2, 1);
    EXPECT_TRUE(s.Exists());
    EXPECT_EQ(s.Area(), CellArea::area(0, 1, 5, 4));
    EXPECT_EQ(s.CurrentRow(), 5);
    EXPECT_EQ(s.CurrentColumn(), 4);
    EXPECT_EQ(s.AnchorRow(), 5);
    EXPECT_EQ(s.AnchorColumn(), 4);

    // A selection keeps the header flags; a single cell clears them.
    s.SetWholeRows(true);
    s.SetSelection(1, 1, 2, 2);
    EXPECT_TRUE(s.WholeRows());
    s.SetCurrentCell(-3, 7);
    EXPECT_FALSE(s.WholeRows() || s.WholeColumns());
    EXPECT_EQ(s.Area(), CellArea::cell(0, 7));
    EXPECT_EQ(s.AnchorRow(), 0);
}

TEST(SheetSelection, ExtendingMovesTheEndButNotTheCurrentCell) {
    SheetSelection s;
    s.SetCurrentAndArea(3, 3, CellArea::area(2, 2, 4, 4));
    s.SetAnchorAndEnd(3, 3, 0, 6);
    EXPECT_EQ(s.Area(), CellArea::area(0, 3, 3, 6));
    EXPECT_EQ(s.CurrentRow(), 3);
    s.SetCurrent(9, 9);  // a stored entry aimed elsewhere leaves the area
    EXPECT_EQ(s.Area(), CellArea::area(0, 3, 3, 6));
    EXPECT_EQ(s.AnchorColumn(), 3);
}

TEST(SheetSelection, TheDocumentLendsItsSelectionAndTakesItBack) {
    CQorsDoc doc;
    doc.Selection().SetSelection(2, 1, 4, 3);
    SheetSelection shared;
    doc.LendSelection(&shared);
    // The lent selection goes on where the document's was and is the one
    // the document answers with.
    EXPECT_EQ(shared.Area(), CellArea::area(2, 1, 4, 3));
    shared.SetCurrentCell(7, 0);
    EXPECT_EQ(doc.Selection().Area(), CellArea::cell(7, 0));
    doc.LendSelection(&shared);  // lending the same one again changes nothing
    EXPECT_EQ(&doc.Selection(), &shared);
    doc.LendSelection(nullptr);
    EXPECT_NE(&doc.Selection(), &shared);
    EXPECT_EQ(doc.Selection().Area(), CellArea::cell(7, 0));
}
