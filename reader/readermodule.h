#pragma once
// The Reader module: its class, its names in the registry and the four
// entry points every in-process server has. Here the module is linked into
// the program, so the entry points are plain functions:
//
//   qor_DllRegisterServer    writes the class, both ProgIDs and the type
//                            library into our Registry
//   qor_DllUnregisterServer  removes them again
//   qor_DllGetClassObject    the class factory (one new Reader per call)
//   qor_DllCanUnloadNow      true while no Reader object is alive
//
// Registry keys written (see platform/automation.h for the layout):
//   CLSID\{60BD8127-D3A7-45ED-8864-99F11A044041}  "Reader Class", server
//       "builtin", ThreadingModel "Apartment" (recorded; the Reader runs on
//       its caller's thread), TypeLib {3632775D-...}, ProgID
//       "Pagoda2.Reader.1", VersionIndependentProgID "Pagoda2.Reader"
//   Pagoda2.Reader.1\CLSID, Pagoda2.Reader\CLSID, Pagoda2.Reader\CurVer
//   TypeLib\{3632775D-409B-473B-81B3-CB329D55A9B1}\1.0  "Pagoda2 1.0 Type Library"

#include <QString>

#include "platform/automation.h"

namespace qor {

inline constexpr char kReaderClsid[] = "{60BD8127-D3A7-45ED-8864-99F11A044041}";
inline constexpr char kReaderProgId[] = "Pagoda2.Reader.1";
inline constexpr char kReaderVersionIndependentProgId[] = "Pagoda2.Reader";
inline constexpr char kReaderTypeLib[] = "{3632775D-409B-473B-81B3-CB329D55A9B1}";
inline constexpr char kReaderTypeLibVersion[] = "1.0";

// Loads the module into this program: its class factory becomes available,
// and the class is registered when the Registry does not hold it yet (a
// Reader class that another library serves is left in place). Calling it
// again is harmless. Throws AutoError when the Registry cannot be written.
void RegisterReaderModule();

// Writes the Reader's class, ProgIDs and type library with the given
// server: AutoRegistry::builtinServer() for this program, or the path of
// the Reader's shared library (libqorreadermodule.so) for other hosts.
bool RegisterReaderServer(const QString& server, QString* error = nullptr);

}  // namespace qor

// False, with the reason in *error, when the Registry cannot be written.
bool qor_DllRegisterServer(QString* error = nullptr);
// False when nothing was registered (or it could not be removed).
bool qor_DllUnregisterServer(QString* error = nullptr);
// The factory of the Reader class; an empty function for any other class.
qor::AutoFactory qor_DllGetClassObject(const QString& clsid);
bool qor_DllCanUnloadNow();
