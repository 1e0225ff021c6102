#pragma once
// The string table: every message, caption and name the system loads by
// numeric id.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace qor::res {

// Text of a string id, or nothing when the table lacks it.
std::optional<QString> stringText(int id);
// The id of a string by its name (the table's name column, as "kAppTitle"),
// for tables that refer to a string; nothing for an unknown name. Code uses
// the generated constants (resources/stringids.h) instead.
std::optional<int> stringIdOf(QStringView name);
// Number of ids in the table.
int stringCount();

// Every string id, ascending.
QList<int> stringIds();

// A menu or tool-bar command. The prompt is the status-bar text; the part
// after a line break, when there is one, is the tool tip.
struct CommandInfo {
    int id = 0;
    QString name;     // the constant code names it by (kCmdFileNew, resources/commandids.h)
    QString caption;  // menu text with its mnemonic, empty when the command has none
    QString prompt;   // empty when the command has none
};

std::optional<CommandInfo> commandInfo(int id);
// The menu text, or nothing when the command is unknown or has no menu text.
std::optional<QString> commandCaption(int id);
// The prompt, or nothing when the command is unknown or has no prompt.
std::optional<QString> commandPrompt(int id);
int commandCount();

// One control of a dialog template. Edit boxes carry the text of the label
// beside them as their caption.
struct ControlInfo {
    int id = 0;
    QString kind;  // button, check, radio, edit, static ...
    QString name;  // IDOK, IDCANCEL ... where the id has a symbolic name
    QString caption;
};

struct TemplateInfo {
    int id = 0;
    QString className;            // dialog class built on the template, may be empty
    QString caption;              // empty when the dialog sets its caption itself
    QList<ControlInfo> controls;  // ascending by id
};

std::optional<TemplateInfo> templateInfo(int id);
// The template's caption, or nothing when the template is unknown or has none.
std::optional<QString> templateCaption(int id);
std::optional<ControlInfo> controlInfo(int templateId, int controlId);
int templateCount();

// The text of a built-in table (as "menus.tsv"), or empty when the build
// holds none of that name. For tables read above this library.
QByteArray builtinTableText(const QString& name);

// Registers the resources compiled into this library (tables, icons) for
// readers above it that open them by their ":/qor/..." paths.
void ensureResources();

// What went wrong while the built-in tables were read (refused lines,
// repeated ids). Empty when every line was taken.
QStringList tableProblems();

}  // namespace qor::res
