#include "document/startup.h"

#include <cerrno>

#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "document/doc_converters.h"
#include "document/doc_interpreter.h"
#include "engine/creportfile.h"
#include "engine/paths.h"
#include "engine/workfiles.h"
#include "platform/automation.h"
#include "platform/registry.h"
#include "platform/safefile.h"
#include "reader/builtincomponents.h"
#include "reader/readermodule.h"

namespace qor {

namespace {

// The components this system carries, as loading their modules would make
// them available; one write of the registry file at most, and none when
// nothing changed. A registry that cannot be written stops nothing that
// needs none of them.
void registerComponents(QStringList* warnings) {
    try {
        Registry::Batch batch;
        RegisterBuiltinComponents();
        RegisterReaderModule();
        if (!batch.finish())
            *warnings << QStringLiteral("the registry file %1 cannot be written")
                             .arg(Registry::filePath());
    } catch (const AutoError& e) {
        *warnings << e.text();
    }
}

// For the tests of the failure paths of saving: every save (and every
// other file written) fails as on a full disk once it has written this
// many bytes.
void takeDiskFullTestSetting() {
    if (!qEnvironmentVariableIsSet("QOR_TEST_DISK_FULL_AFTER")) return;
    bool ok = false;
    const qint64 bytes = qgetenv("QOR_TEST_DISK_FULL_AFTER").toLongLong(&ok);
    if (ok && bytes >= 0) {
        SetSaveFaultAfterBytes(bytes, ENOSPC);
        SetWriteFaultAfterBytes(bytes, ENOSPC);
    }
}

}  // namespace

QStringList StartUp(const StartOptions& options) {
    QStringList warnings;
    // Before anything makes a folder in the new places.
    MoveLegacyDataFolders();
    registerComponents(&warnings);
    // Working copies of runs that were killed are removed before any work.
    SweepOrphanedWorkFiles();
    takeDiskFullTestSetting();
    // Cell formulas are checked and computed by the command language.
    cmd::InstallEngineHooks({options.isServiceFunction});
    if (options.interpreter) {
        cmd::InstallInterpreterHooks();
        doc::InstallInterpreterLinks();
    }
    // Files are opened and saved by their type through these.
    doc::RegisterExchangeConverters();
    if (options.installMore) options.installMore();
    return warnings;
}

}  // namespace qor
