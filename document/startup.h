#pragma once
// The one start-up both programs run before any work: the data folder's
// layout, the components this system carries, working copies that killed
// runs left, the engine's formula hooks and the converters files open and
// save through. What differs between the programs comes in through the
// options; windows and dialogs are wired by the desktop after it.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

namespace qor {

struct StartOptions {
    // Names of the host's service functions a cell formula may call (the
    // ledger's); nothing when empty.
    std::function<bool(QStringView)> isServiceFunction;
    // The interpreter behind cell formulas and the document's command
    // lines from the start. The command-line host leaves it to each verb
    // that runs the command language.
    bool interpreter = false;
    // What a program built above the document runs with from the start
    // (the desktop's consolidation checks before a save); called last.
    std::function<void()> installMore;
};

// Runs the start-up; calling it again is harmless (every step finds its
// work done or installs the same hooks again). Answers what went wrong
// without stopping it (a component that could not be registered, a
// registry file that cannot be written), one text each, for the program to
// show as a warning.
QStringList StartUp(const StartOptions& options = {});

}  // namespace qor
