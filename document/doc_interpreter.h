#pragma once
// Joins the document to the command language: command lines a document
// runs go to the interpreter, and the interpreter moves the document's
// page and cell and redraws its views after FIND, GFIND and TOTAL.

namespace qor::doc {

// Call once at start-up, after the command language's hooks are installed.
void InstallInterpreterLinks();

}  // namespace qor::doc
