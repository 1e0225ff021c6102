// docs/architecture.md kept true by the code it describes: the layer table
// against every include of every library, and the hook table against every
// installer the libraries' headers declare. A failure names the file and
// line to change (the code's, or the table's when the code is right).
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSet>
#include <functional>
#include <map>

#include "tests/common/testsupport.h"

namespace {

const QString kDoc = QStringLiteral("docs/architecture.md");

// The text of the document's "## " section whose heading starts with title,
// up to the next "## " heading.
QString docSection(const QString& title) {
    const QStringList lines = qortest::sourceText(kDoc).split(u'\n');
    QStringList out;
    bool inside = false;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("## "))) {
            if (inside) break;
            inside = line.mid(3).startsWith(title);
            continue;
        }
        if (inside) out << line;
    }
    return out.join(u'\n');
}

// The cells of a Markdown table's body rows (header and rule left out).
QList<QStringList> tableRows(const QString& text) {
    QList<QStringList> rows;
    bool header = true;
    for (const QString& line : text.split(u'\n')) {
        if (!line.startsWith(u'|')) {
            header = true;
            continue;
        }
        if (header || line.startsWith(QLatin1String("|---"))) {
            header = false;
            continue;
        }
        QStringList cells = line.mid(1).split(u'|');
        if (!cells.isEmpty() && cells.last().trimmed().isEmpty()) cells.removeLast();
        for (QString& c : cells) c = c.trimmed();
        rows << cells;
    }
    return rows;
}

// ---- the layer table -----------------------------------------------------

// The rows that hold no library: the tests, benchmarks and fuzz targets
// reach every library they test, measure or feed.
const QStringList kNotLibraries = {QStringLiteral("tests"), QStringLiteral("bench"),
                                   QStringLiteral("fuzz")};

struct Layers {
    QStringList folders;                     // every row's folders, "apps/qor" without the slash
    QHash<QString, QStringList> mayInclude;  // folder -> its "may include" names
    QHash<QString, QString> byName;          // folder or library name -> folder
    QHash<QString, QString> row;             // folder -> its row as written, for failures

    // The folders and the Qt modules ("QtWidgets") a folder reaches, itself included.
    std::pair<QSet<QString>, QSet<QString>> reach(const QString& folder) const {
        QSet<QString> folders, modules;
        std::function<void(const QString&)> visit = [&](const QString& f) {
            if (folders.contains(f)) return;
            folders.insert(f);
            for (const QString& name : mayInclude.value(f)) {
                if (name.startsWith(QLatin1String("Qt ")))
                    modules.insert(QStringLiteral("Qt") + name.mid(3).trimmed());
                else if (byName.contains(name))
                    visit(byName.value(name));
                // anything else is a library from outside
            }
        };
        visit(folder);
        return {folders, modules};
    }

    // The folder of the table a source path lies in (the longest that holds
    // it), or "".
    QString folderOf(const QString& path) const {
        QString best;
        for (const QString& f : folders)
            if (path.startsWith(f + u'/') && f.size() > best.size()) best = f;
        return best;
    }
};

Layers layers() {
    Layers l;
    QHash<QString, QString> libraries;
    static const QRegularExpression aside(QStringLiteral("\\([^)]*\\)"));
    for (const QStringList& cells : tableRows(docSection(QStringLiteral("Layers")))) {
        if (cells.size() < 4) {
            ADD_FAILURE() << "layer table row with fewer than four cells: "
                          << cells.join(u'|').toStdString();
            continue;
        }
        QStringList folders;
        for (QString f : cells[0].split(u',')) {
            f = f.trimmed();
            while (f.endsWith(u'/')) f.chop(1);
            if (!f.isEmpty()) folders << f;
        }
        QStringList names;
        for (QString n : QString(cells[3]).remove(aside).split(u',')) {
            n = n.trimmed();
            if (!n.isEmpty()) names << n;
        }
        for (const QString& f : folders) {
            l.folders << f;
            l.mayInclude.insert(f, names);
            l.byName.insert(f, f);
            l.row.insert(f, cells[3]);
        }
        if (!folders.isEmpty())
            for (const QString& lib : cells[1].split(u','))
                libraries.insert(lib.trimmed().section(u' ', 0, 0), folders.first());
    }
    // A folder's name wins over a library's of the same spelling.
    for (auto it = libraries.cbegin(); it != libraries.cend(); ++it)
        if (!l.byName.contains(it.key())) l.byName.insert(it.key(), it.value());
    return l;
}

// Header name -> the Qt modules whose include folder holds it.
QHash<QString, QStringList> qtHeaders(const QString& includeDir) {
    QHash<QString, QStringList> out;
    for (const QString& module : QDir(includeDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QString& header : QDir(includeDir + u'/' + module).entryList(QDir::Files))
            out[header] << module;
    return out;
}

TEST(ArchitectureDoc, LayerTableNamesEveryLibraryAndWhatItMayInclude) {
    const Layers l = layers();
    for (const char* f : {"platform", "engine", "document", "view", "frames", "vtmail8", "apps/qor",
                          "apps/readermodule", "tests"})
        EXPECT_TRUE(l.folders.contains(QLatin1String(f))) << f;
    // What the table says, read back the way the include check reads it.
    const auto [docFolders, docModules] = l.reach(QStringLiteral("document"));
    EXPECT_TRUE(docFolders.contains(QStringLiteral("platform")));
    EXPECT_TRUE(docFolders.contains(QStringLiteral("charts")));
    EXPECT_FALSE(docFolders.contains(QStringLiteral("view")));
    EXPECT_TRUE(docModules.contains(QStringLiteral("QtGui")));
    EXPECT_FALSE(docModules.contains(QStringLiteral("QtWidgets")));
    EXPECT_EQ(l.folderOf(QStringLiteral("apps/qor/printdev/qorprintdev.cpp")),
              QStringLiteral("apps/qor/printdev"));
    EXPECT_EQ(l.folderOf(QStringLiteral("apps/qor/main.cpp")), QStringLiteral("apps/qor"));
}

// Every #include of a library's files stays on its floor or climbs to one
// above it: a folder of the project the table lets it reach (its own row's
// "may include", and theirs in turn), a Qt module the same way.
TEST(ArchitectureDoc, NoIncludeReachesBelowItsLayer) {
    const Layers l = layers();
    ASSERT_GE(l.folders.size(), 20) << "the layer table was not found";
    const QString qtDir = QLibraryInfo::path(QLibraryInfo::HeadersPath);
    const QHash<QString, QStringList> qt = qtHeaders(qtDir);
    ASSERT_TRUE(qt.contains(QStringLiteral("QString")))
        << "no Qt headers in " << qtDir.toStdString();

    static const QRegularExpression local(QStringLiteral("^\\s*#\\s*include\\s*\"([^\"]+)\""));
    static const QRegularExpression angled(
        QStringLiteral("^\\s*#\\s*include\\s*<(?:(Qt\\w+)/)?(Q\\w+)>"));
    const QDir root(QStringLiteral(QOR_TEST_SOURCE_DIR));
    int files = 0, includes = 0;
    for (const QString& folder : l.folders) {
        if (kNotLibraries.contains(folder)) continue;
        const auto [reached, modules] = l.reach(folder);
        QDirIterator it(root.filePath(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = root.relativeFilePath(it.next());
            if (l.folderOf(file) != folder) continue;  // a folder of its own row
            ++files;
            const QStringList lines = qortest::sourceText(file).split(u'\n');
            for (qsizetype i = 0; i < lines.size(); ++i) {
                const QString where =
                    QStringLiteral("%1:%2: %3").arg(file).arg(i + 1).arg(lines[i].trimmed());
                if (const auto m = local.match(lines[i]); m.hasMatch()) {
                    const QString path = m.captured(1);
                    if (!path.contains(u'/')) continue;  // beside the includer
                    ++includes;
                    const QString target = l.folderOf(path);
                    if (target.isEmpty()) {
                        EXPECT_FALSE(root.exists(path.section(u'/', 0, 0)))
                            << where.toStdString() << "\n  a folder the layer table does not list";
                        continue;
                    }
                    EXPECT_TRUE(reached.contains(target))
                        << where.toStdString() << "\n  " << folder.toStdString()
                        << "/ may not include " << target.toStdString()
                        << "/ (its row: " << l.row.value(folder).toStdString() << ")";
                } else if (const auto q = angled.match(lines[i]); q.hasMatch()) {
                    ++includes;
                    const QStringList in = q.captured(1).isEmpty() ? qt.value(q.captured(2))
                                                                   : QStringList{q.captured(1)};
                    if (in.isEmpty()) {
                        ADD_FAILURE() << where.toStdString() << "\n  not a header of Qt's "
                                      << qtDir.toStdString();
                        continue;
                    }
                    bool allowed = false;
                    for (const QString& module : in) allowed = allowed || modules.contains(module);
                    EXPECT_TRUE(allowed)
                        << where.toStdString() << "\n  a header of " << in.join(u'/').toStdString()
                        << ", which " << folder.toStdString()
                        << "/ may not include (its row: " << l.row.value(folder).toStdString()
                        << ")";
                }
            }
        }
    }
    EXPECT_GT(files, 500);
    EXPECT_GT(includes, 3000);
}

// ---- the hook table ------------------------------------------------------

// A function whose name starts with Set, Install or Register, as a header
// declares it.
struct Declaration {
    QString header;  // "view/cqorsview.h"
    QString cls;     // the class of a member, "" at namespace scope
    QString name;
    bool isStatic = false;
    QString params;

    QString qualified() const { return cls.isEmpty() ? name : cls + QStringLiteral("::") + name; }
    // What the hook table must name: a free or static function, or a
    // member that keeps hooks or a runner for its object.
    bool installsHook() const {
        static const QRegularExpression hookParam(QStringLiteral("\\w*(Hooks|Runner)\\b"));
        return cls.isEmpty() || isStatic || hookParam.match(params).hasMatch();
    }
};

// The text without comments, string and character literals (left as ""
// and '') and preprocessor lines.
QString codeOnly(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (c == u'/' && next == u'/') {
            while (i < text.size() && text[i] != u'\n') ++i;
            out += u'\n';
        } else if (c == u'/' && next == u'*') {
            i = text.indexOf(QLatin1String("*/"), i + 2);
            if (i < 0) break;
            ++i;
            out += u' ';
        } else if (c == u'"' || c == u'\'') {
            for (++i; i < text.size() && text[i] != c && text[i] != u'\n'; ++i)
                if (text[i] == u'\\') ++i;
            out += c;
            out += c;
        } else if (c == u'#' && out.section(u'\n', -1).trimmed().isEmpty()) {
            // A directive runs to the end of its line and its continuations.
            while (i < text.size() && !(text[i] == u'\n' && text[i - 1] != u'\\')) ++i;
            out += u'\n';
        } else {
            out += c;
        }
    }
    return out;
}

// Every Set*, Install* or Register* function a header declares at
// namespace scope or in a class (declared, or defined in place).
QList<Declaration> declarationsIn(const QString& header, const QString& text) {
    static const QRegularExpression lead(
        QStringLiteral("^(\\s*(Q_OBJECT|Q_GADGET|Q_INVOKABLE|(public|protected|private)(\\s+(slots|"
                       "Q_SLOTS))?\\s*:|"
                       "signals\\s*:|Q_SIGNALS\\s*:))+"));
    static const QRegularExpression name(
        QStringLiteral("(?<![\\w:~])((?:Set|Install|Register)[A-Z]\\w*)\\s*\\("));
    static const QRegularExpression classKey(QStringLiteral("\\b(class|struct|union|enum)\\b"));
    static const QRegularExpression singleColon(QStringLiteral("(?<!:):(?!:)"));
    static const QRegularExpression word(QStringLiteral("\\w+"));
    enum Kind { Namespace, Class, Body };
    struct Scope {
        Kind kind;
        QString cls;
    };
    QList<Scope> scopes;
    QList<Declaration> out;
    auto atDeclarationLevel = [&] {
        for (const Scope& s : scopes)
            if (s.kind == Body) return false;
        return true;
    };
    auto consider = [&](QString statement) {
        // Qt's macros (Q_PROPERTY(...)) end without a semicolon.
        static const QRegularExpression qtMacro(QStringLiteral("\\bQ_[A-Z_]+\\s*\\([^()]*\\)"));
        statement = statement.remove(qtMacro).trimmed().remove(lead).trimmed();
        static const QRegularExpression notADeclaration(
            QStringLiteral("^(using|typedef|friend|return)\\b"));
        if (notADeclaration.match(statement).hasMatch()) return;
        const auto m = name.match(statement);
        if (!m.hasMatch()) return;
        const QString before = statement.left(m.capturedStart());
        if (before.contains(u'(') || before.contains(u'=')) return;  // a call or a value
        Declaration d;
        d.header = header;
        d.name = m.captured(1);
        if (!scopes.isEmpty() && scopes.last().kind == Class) d.cls = scopes.last().cls;
        d.isStatic = QRegularExpression(QStringLiteral("\\bstatic\\b")).match(before).hasMatch();
        const qsizetype open = m.capturedEnd() - 1;
        int depth = 0;
        qsizetype close = open;
        for (; close < statement.size(); ++close) {
            if (statement[close] == u'(') ++depth;
            if (statement[close] == u')' && --depth == 0) break;
        }
        d.params = statement.mid(open + 1, close - open - 1).simplified();
        out << d;
    };
    QString statement;
    const QString code = codeOnly(text);
    for (const QChar c : code) {
        if (c == u'{') {
            Scope s{Body, {}};
            const QString head = statement.section(singleColon, 0, 0);
            const bool call = statement.contains(u'(') || statement.contains(u'=');
            if (!call && (QRegularExpression(QStringLiteral("\\bnamespace\\b"))
                              .match(statement)
                              .hasMatch() ||
                          statement.contains(QLatin1String("extern \"\"")))) {
                s.kind = Namespace;
            } else if (!call && classKey.match(head).hasMatch()) {
                s.kind = Class;
                qsizetype at = -1;
                for (auto it = classKey.globalMatch(head); it.hasNext();)
                    at = it.next().capturedEnd();
                QStringList words;
                for (auto it = word.globalMatch(head.mid(at)); it.hasNext();)
                    words << it.next().captured();
                words.removeAll(QStringLiteral("final"));
                words.removeAll(QStringLiteral("class"));
                s.cls = words.isEmpty() ? QString() : words.last();
            } else if (atDeclarationLevel()) {
                consider(statement);  // defined in place
            }
            scopes << s;
            statement.clear();
        } else if (c == u'}') {
            if (!scopes.isEmpty()) scopes.removeLast();
            statement.clear();
        } else if (c == u';') {
            if (atDeclarationLevel()) consider(statement);
            statement.clear();
        } else {
            statement += c;
        }
    }
    return out;
}

// The headers of every library folder of the layer table.
QList<Declaration> libraryDeclarations() {
    const Layers l = layers();
    const QDir root(QStringLiteral(QOR_TEST_SOURCE_DIR));
    QList<Declaration> all;
    QSet<QString> seen;
    for (const QString& folder : l.folders) {
        if (kNotLibraries.contains(folder)) continue;
        QDirIterator it(root.filePath(folder), {QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString header = root.relativeFilePath(it.next());
            if (l.folderOf(header) != folder) continue;
            for (const Declaration& d : declarationsIn(header, qortest::sourceText(header)))
                if (!seen.contains(header + u' ' + d.qualified())) {
                    seen.insert(header + u' ' + d.qualified());
                    all << d;
                }
        }
    }
    return all;
}

// Setters named like installers that keep a value, not a way up: the hook
// table leaves them out.
const std::map<QString, const char*>& notHooks() {
    static const std::map<QString, const char*> list = {
        {QStringLiteral("SetUpDesktop"), "builds the desktop; it calls the installers"},
        {QStringLiteral("RegisterReaderServer"),
         "writes the Reader's entries into the registry file"},
        {QStringLiteral("RegisterOpenReport"), "the open-reports list's own bookkeeping"},
        {QStringLiteral("SetReportLastError"), "the open-reports list's last error"},
        {QStringLiteral("SetCurrencySymbolIndex"), "a display setting's value"},
        {QStringLiteral("SetLanguageCode"), "a setting's value"},
        {QStringLiteral("SetRememberedPaletteIndex"), "a display setting's value"},
        {QStringLiteral("SetPageSetupDefaults"), "the printer's page layout as the default"},
        {QStringLiteral("SetBaseHeaderMetrics"), "the screen's header sizes"},
        {QStringLiteral("SetDataGrouping"), "edits a chart description"},
        {QStringLiteral("SetInnerFrame"), "edits the cell-attribute dialog's members"},
        {QStringLiteral("SetOuterFrame"), "edits the cell-attribute dialog's members"},
        {QStringLiteral("SetFilePasswordOk"), "the OK step of the file-password dialog"},
        {QStringLiteral("SetUser"), "the mail library's exported call for the user's code"},
        {QStringLiteral("CPageCtrl::SetSplitCursor"), "a widget's cursor"},
        {QStringLiteral("CMyFileDlg::SetCurrentReportDir"), "the folder file dialogs open in"},
        {QStringLiteral("LedgerWindowComponent::SetParentWindow"),
         "the window the ledger opens over, set by InstallLedgerWindow"},
    };
    return list;
}

TEST(ArchitectureDoc, DeclarationsAreFoundWhereverAHeaderPutsThem) {
    const QString header = QStringLiteral(
        "#pragma once\n#include \"a/b.h\"\n"
        "namespace qor {\n"
        "// SetInComment(int);\n"
        "using Runner = std::function<void()>;\n"
        "Runner SetRunner(Runner runner);\n"
        "void InstallHooks(Hooks hooks = {});\n"
        "inline int SetLimit(int n) { return SetOther(n); }\n"
        "class CThing : public QObject {\n"
        "    Q_OBJECT\n"
        "public:\n"
        "    static Hook SetHook(Hook h);\n"
        "    void SetValue(int v) { m_v = v; }\n"
        "    void SetDocumentHooks(DocumentHooks hooks) { m_h = std::move(hooks); }\n"
        "    const char* t = \"SetInString(1);\";\n"
        "    struct Inner { static void RegisterInner(); };\n"
        "};\n"
        "template <class M> class ScopedThing { public: static void SetScoped(M m); };\n"
        "}  // namespace qor\n");
    QStringList found;
    for (const Declaration& d : declarationsIn(QStringLiteral("x/y.h"), header))
        found << d.qualified() + (d.installsHook() ? QStringLiteral(" hook") : QString());
    EXPECT_EQ(found, QStringList({"SetRunner hook", "InstallHooks hook", "SetLimit hook",
                                  "CThing::SetHook hook", "CThing::SetValue",
                                  "CThing::SetDocumentHooks hook", "Inner::RegisterInner hook",
                                  "ScopedThing::SetScoped hook"}));
}

// Every installer a library declares is in the hook table (or the
// paragraph of hooks for tests below it), with the header that declares
// it in the same row or paragraph; every installer the table names exists.
TEST(ArchitectureDoc, HookTableNamesEveryInstallerWithItsHeader) {
    const QString section = docSection(QStringLiteral("Hooks"));
    ASSERT_FALSE(section.isEmpty()) << "no \"## Hooks\" section in " << kDoc.toStdString();
    // A table row, or a paragraph of the text around the table.
    QStringList entries;
    QString paragraph;
    const QStringList lines = section.split(u'\n') << QString();  // the last paragraph ends
    for (const QString& line : lines) {
        if (line.startsWith(u'|')) {
            entries << line;
        } else if (line.trimmed().isEmpty()) {
            if (!paragraph.isEmpty()) entries << paragraph;
            paragraph.clear();
        } else {
            paragraph += line + u' ';
        }
    }
    const QList<Declaration> declared = libraryDeclarations();
    ASSERT_GT(declared.size(), 60) << "the headers' installers were not found";

    int checked = 0;
    QSet<QString> names;
    for (const Declaration& d : declared) {
        names.insert(d.qualified());
        names.insert(d.name);
        if (!d.installsHook() || notHooks().count(d.qualified())) continue;
        ++checked;
        // A free function may be written with its namespace ("cmd::"), a
        // member always with its class.
        const QRegularExpression named(d.cls.isEmpty()
                                           ? QStringLiteral("(?<![\\w:])(?:[a-z]\\w*::)*%1\\b")
                                                 .arg(QRegularExpression::escape(d.name))
                                           : QStringLiteral("(?<![\\w:])(?:\\w+::)*%1\\b")
                                                 .arg(QRegularExpression::escape(d.qualified())));
        bool inTable = false, withHeader = false;
        for (const QString& e : entries)
            if (named.match(e).hasMatch()) {
                inTable = true;
                withHeader = withHeader || e.contains(d.header);
            }
        EXPECT_TRUE(inTable) << d.header.toStdString() << " declares "
                             << d.qualified().toStdString() << ", which the hook table of "
                             << kDoc.toStdString()
                             << " does not name (or notHooks() here, with the reason)";
        EXPECT_TRUE(!inTable || withHeader)
            << kDoc.toStdString() << " names " << d.qualified().toStdString()
            << " without its header " << d.header.toStdString();
    }
    EXPECT_GT(checked, 50);
    for (const auto& [name, reason] : notHooks())
        EXPECT_TRUE(names.contains(name)) << name.toStdString() << " (" << reason
                                          << ") is declared no more: leave it out of notHooks()";
    static const QRegularExpression installer(
        QStringLiteral("`(?:[a-z]\\w*::)*((?:\\w+::)?(?:Set|Install|Register)[A-Z]\\w*)`"));
    for (auto it = installer.globalMatch(section); it.hasNext();) {
        const QString name = it.next().captured(1);
        EXPECT_TRUE(names.contains(name)) << kDoc.toStdString() << " names " << name.toStdString()
                                          << " in its hook table, which no library header declares";
    }
}

}  // namespace
