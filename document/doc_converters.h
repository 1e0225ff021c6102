#pragma once
// The file types a document opens and saves through the exchange formats:
// workbooks (".xls", ".xlsx"), the own XML format (".xml") and, for saving
// only, one page as HTML (".htm", ".html"). Other types stay refused with a
// message until their converters exist.

namespace qor::doc {

// Registers the converters with the document (RegisterDocConverter). Call
// once at start-up; calling again replaces them.
void RegisterExchangeConverters();

// How a report saved as ".xls" is written: the user is asked (62630)
// whether formats go too; a caller that knows the answer sets it here.
// Returns the previous choice.
enum class XlsSaveChoice { Ask, WithFormats, ValuesOnly };
XlsSaveChoice SetXlsSaveChoice(XlsSaveChoice choice);

}  // namespace qor::doc
