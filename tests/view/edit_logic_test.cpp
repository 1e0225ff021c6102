// The decisions of in-cell editing: the numeric filter, entry modes, what
// typing on the sheet does and the reference box text.

#include <gtest/gtest.h>

#include "document/cqorsdoc.h"
#include "view/input_edit.h"

using namespace qor::view;

TEST(EditFilter, DecimalPlacesAndSigns) {
    auto f = [](const QString& text, int cursor, QChar ch, int selStart = 0, int selLen = 0) {
        return FilterNumericChar(text, cursor, selStart, selLen, ch, 2);
    };
    EXPECT_EQ(f("1.23", 4, '4'), CharVerdict::Beep);          // a third decimal
    EXPECT_EQ(f("1.23", 1, '4'), CharVerdict::Insert);        // before the point
    EXPECT_EQ(f("1.23", 4, '4', 2, 2), CharVerdict::Insert);  // over a selection
    EXPECT_EQ(f("1.2", 3, '4'), CharVerdict::Insert);
    EXPECT_EQ(f("12", 2, 'a'), CharVerdict::Beep);
    EXPECT_EQ(f("12", 2, QChar(8)), CharVerdict::Default);
    EXPECT_EQ(f("12", 2, QChar(13)), CharVerdict::Swallow);
    EXPECT_EQ(f("12", 2, QChar(27)), CharVerdict::Swallow);
    // One point, one leading minus.
    EXPECT_EQ(f("1.2", 1, '.'), CharVerdict::Beep);
    EXPECT_EQ(f("1.2", 0, '.', 0, 3), CharVerdict::Insert);
    EXPECT_EQ(f("5", 1, '-'), CharVerdict::Beep);
    EXPECT_EQ(f("5", 0, '-'), CharVerdict::Insert);
    EXPECT_EQ(f("-5", 0, '-'), CharVerdict::Beep);
    EXPECT_EQ(FilterNumericChar("1", 1, 1, 0, '.', 0), CharVerdict::Insert);
    EXPECT_EQ(FilterNumericChar("1.", 2, 2, 0, '5', 0), CharVerdict::Beep);
}

TEST(EditModes, ByKindAndState) {
    EXPECT_EQ(CellEditMode(kCellUnset, true), kEditNumber);
    EXPECT_EQ(CellEditMode(kCellNumber, true), kEditNumber);
    EXPECT_EQ(CellEditMode(kCellText, true), kEditText);
    EXPECT_EQ(CellEditMode(kCellLabel, true), kEditNone);
    EXPECT_EQ(CellEditMode(kCellNumber, false), kEditText);
    EXPECT_EQ(CellEditMode(kCellLabel, false), kEditText);

    EXPECT_EQ(CommitEntryMode(kEditNumber, true), CQorsDoc::kEntryNumber);
    EXPECT_EQ(CommitEntryMode(kEditText, true), CQorsDoc::kEntryDataText);
    EXPECT_EQ(CommitEntryMode(kEditText, false), CQorsDoc::kEntryFormatText);
}

TEST(EditTyping, WhatACharacterDoes) {
    TypingContext plain;
    EXPECT_EQ(DecideTyping('x', plain), TypeAction::OpenEditor);
    EXPECT_EQ(DecideTyping('=', plain), TypeAction::CellFormula);
    for (char16_t c : {u'\t', u'\r', char16_t(27), char16_t(8)})
        EXPECT_EQ(DecideTyping(QChar(c), plain), TypeAction::Ignore);

    TypingContext data;
    data.dataState = true;
    EXPECT_EQ(DecideTyping('=', data), TypeAction::OpenEditor);
    data.kind = kCellLabel;
    EXPECT_EQ(DecideTyping('x', data), TypeAction::Ignore);
    data.ctrl = true;
    EXPECT_EQ(DecideTyping(QChar(3), data), TypeAction::Copy);

    TypingContext formula;
    formula.formulaState = 1;
    EXPECT_EQ(DecideTyping('5', formula), TypeAction::Ignore);
    EXPECT_EQ(DecideTyping('=', formula), TypeAction::CellFormula);
    formula.ctrl = true;
    EXPECT_EQ(DecideTyping(QChar(22), formula), TypeAction::Paste);
    EXPECT_EQ(DecideTyping(QChar(24), formula), TypeAction::Cut);
    formula.dataState = true;
    formula.ctrl = false;
    EXPECT_EQ(DecideTyping('=', formula), TypeAction::Ignore);

    TypingContext varLine;
    varLine.firstVarLine = true;
    EXPECT_EQ(DecideTyping('x', varLine), TypeAction::Ignore);
    varLine.dataState = true;
    EXPECT_EQ(DecideTyping('x', varLine), TypeAction::OpenEditor);
}

TEST(EditReference, AreaAndPage) {
    EXPECT_EQ(CellReferenceText(CellArea::area(0, 0, 1, 1), false, 3), "A1:B2");
    EXPECT_EQ(CellReferenceText(CellArea::area(0, 0, 1, 1), true, 3), "A1:B2@3");
    EXPECT_EQ(CellReferenceText(CellArea::cell(4, 2), false, 0), "C5");
    EXPECT_EQ(EditorRect({10, 10, 100, 50}, 42, 21), (Rect{44, 23, 98, 48}));
    EXPECT_EQ(EditorRect({}, 42, 21), Rect{});
}
