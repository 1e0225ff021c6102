#pragma once
// The file types a document opens and saves through the exchange formats:
// workbooks (".xls", ".xlsx") and the own XML format (".xml"). Other types
// stay refused with a message until their converters exist.

namespace qor::doc {

// Registers the converters with the document (RegisterDocConverter). Call
// once at start-up; calling again replaces them.
void RegisterExchangeConverters();

}  // namespace qor::doc
