#pragma once
// Start-up of an application: the command language's database functions
// (INDB, INDBSQL, GETRECORD) get their readers.

namespace qor {

void InstallDatabaseFunctionHooks();

}  // namespace qor
