#pragma once
// The menus, context menus and tool bars of the main window as data
// (menus.tsv): which commands sit where, in which order, with which keys.
// The texts come from the command table; the table here only holds what
// the command table lacks (popup titles, a few commands without a menu
// text), the reasons for commands that stay off and the menu texts that
// replace a command table caption whose letter another item of the same
// menu already has.

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "resources/commandids.h"

namespace qor::frames {

inline constexpr int kMenuNoReport = 128;
inline constexpr int kMenuReport = 129;
inline constexpr int kMenuCells = 115;
inline constexpr int kMenuItem = 102;
inline constexpr int kMenuChart = 114;
// The menu bar while a chart is edited (in place or in the chart frame).
inline constexpr int kMenuChartEdit = 419;

using qor::cmd_ids::kCmdBarStandard;
using qor::cmd_ids::kCmdBarStatus;
using qor::cmd_ids::kCmdBarEdit;
using qor::cmd_ids::kCmdBarChart;
using qor::cmd_ids::kCmdBarFormat;

struct MenuEntry {
    enum Kind { Popup, Command, Separator, WindowList, Widget };
    Kind kind = Command;
    int id = 0;
    QString text;  // popup title, or the fallback text of a command
    QString keys;  // shortcut text ("Ctrl+N")
    bool keysShownOnly = false;  // the sheet handles the key itself
    QList<MenuEntry> children;
};

struct MenuTable {
    QHash<int, QList<MenuEntry>> menus;  // 128, 129, 115, 102
    QHash<int, QList<MenuEntry>> bars;   // by tool-bar id
    QHash<int, QString> reasons;         // why a command stays off
    QHash<int, QString> captions;        // menu text instead of the command table's
    QStringList errors;                  // "line N: ..." per refused line
};

// Parses the table text; refused lines are reported, never guessed at.
MenuTable ParseMenuTable(QByteArrayView utf8);
// The table built into the program.
const MenuTable& BuiltinMenuTable();

// Every command id that a menu or bar holds (depth first, in order).
QList<int> CommandIdsOf(const QList<MenuEntry>& entries);

// A command table caption split for a menu: "打印(&P)... Ctrl+P" gives
// "打印(&P)..." and "Ctrl+P".
struct CaptionParts {
    QString text;
    QString keys;
};
CaptionParts SplitCaption(const QString& caption);
// The caption without its mnemonic marks: "打印(&P)..." gives "打印...",
// "导入[&I]..." gives "导入...".
QString PlainCaption(const QString& caption);

}  // namespace qor::frames
