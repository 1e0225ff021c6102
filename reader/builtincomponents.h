#pragma once
// The stand-ins for the host system's components that this program ships
// (login, the demonstration ledger service, the detail ledger and its
// query object, the consolidation client), made available by ProgID and
// CLSID. Programs call this once at start-up; calling it again is
// harmless. A real component registered later under the same names takes
// their place.

namespace qor {

void RegisterBuiltinComponents();

}  // namespace qor
