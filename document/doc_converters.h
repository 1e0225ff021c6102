#pragma once
// The file types a document opens and saves through the exchange formats:
// workbooks (".xls", ".xlsx"), the own XML format (".xml") and, for saving
// only, one page as HTML (".htm", ".html"). Other types stay refused with a
// message until their converters exist.

namespace qor::doc {

// Registers the converters with the document (RegisterDocConverter). Call
// once at start-up; calling again replaces them.
void RegisterExchangeConverters();

}  // namespace qor::doc
