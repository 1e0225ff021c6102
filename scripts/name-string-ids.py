#!/usr/bin/python3
"""Names the string ids in the sources after resources/strings.tsv.

Code names a string-table entry by the name column of resources/strings.tsv
(qor::str::k<Name>, generated into resources/stringids.h). This script
brings sources that still use numbers into that form:

1. A local constant that only repeats a table id
   (`constexpr int kMsgAppCaption = 57344;`, or an enumerator `kTxtX = 64500,`)
   is deleted, and its uses take the table's name. What was renamed is kept
   in scripts/string-id-renames.tsv, so code merged in later that still uses
   an old constant is renamed too.
2. Every other integer literal that is a table id is replaced by its name:
   the argument of LoadErrorText, messageText, stringText, LoadStringText and
   the other functions that take a string id, and ids in tables, fields and
   returns. Ids below 57344 (the tip-of-the-day texts) are named only as the
   argument of a string function, since small numbers mean many things.
   A line whose comment says `not a string id` is left alone (a number that
   only happens to equal an id).

3. Every table name is written by one rule, whichever way it stood:
   inside a `namespace qor` block (qor or any namespace below it)
   `str::kName`, anywhere else `qor::str::kName`.
4. A description of resources/functions.tsv written `@<id>` becomes
   `@<name>`.
5. A file that lost its own constants, or that names ids without calling a
   text function of engine/messages.h, includes resources/stringids.h.

Run from anywhere: /usr/bin/python3 scripts/name-string-ids.py [--check]
The script is idempotent. It prints every file it changed and every literal
it could not name (a number passed to a string function that is no table
id); with --check it changes nothing and exits 1 when anything is left to do.
"""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE = os.path.join(ROOT, "resources", "strings.tsv")
RENAMES = os.path.join(ROOT, "scripts", "string-id-renames.tsv")
EXTENSIONS = (".cpp", ".h", ".hpp", ".cc")
# The functions whose argument (the first, or the second after an output
# pointer) is a string id.
STRING_FUNCTIONS = (
    "LoadErrorText",
    "messageText",
    "stringText",
    "LoadStringText",
    "CmdText",
    "ShowMessageId",
    "tellId",
)
FIRST_NAMED_LITERAL = 57344
OPT_OUT = "not a string id"


def read_table():
    names = {}
    with open(TABLE, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            fields = line.rstrip("\n").rstrip("\r").split("\t")
            if len(fields) < 3 or not re.fullmatch(r"k[A-Z][A-Za-z0-9]*", fields[1]):
                continue  # the build refuses such a row and says why
            names[int(fields[0])] = fields[1]
    return names


def source_files():
    for top in sorted(os.listdir(ROOT)):
        if top.startswith(".") or top.startswith("build"):
            continue
        path = os.path.join(ROOT, top)
        if os.path.isfile(path):
            continue
        for dirpath, dirnames, filenames in os.walk(path):
            dirnames[:] = sorted(d for d in dirnames if not d.startswith("."))
            for name in sorted(filenames):
                if name.endswith(EXTENSIONS):
                    yield os.path.join(dirpath, name)


def digit_separator(text, i):
    """Whether the quote at i separates digits (1'000, 0xFF'FF) rather than
    opening a character literal (u'x', L'x')."""
    j = i
    while j > 0 and (text[j - 1].isalnum() or text[j - 1] == "_"):
        j -= 1
    return j < i and text[j].isdigit()


def code_mask(text):
    """True for every character that is code: not in a comment, string or
    character literal."""
    mask = [True] * len(text)
    i, n = 0, len(text)

    def blank(a, b):
        for k in range(a, min(b, n)):
            mask[k] = False

    while i < n:
        c = text[i]
        if c == "/" and text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif c == "/" and text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == '"':
            raw = re.match(r'(?:u8|u|U|L)?R$', text[max(0, i - 3):i])
            if raw and (i - len(raw.group(0)) == 0 or not (text[i - len(raw.group(0)) - 1].isalnum() or text[i - len(raw.group(0)) - 1] == "_")):
                m = re.match(r'"([^()\\ ]{0,16})\(', text[i:])
                if m:
                    end = text.find(")" + m.group(1) + '"', i)
                    end = n if end < 0 else end + len(m.group(1)) + 2
                    blank(i, end)
                    i = end
                    continue
            j = i + 1
            while j < n and text[j] != '"' and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, j + 1)
            i = j + 1
        elif c == "'" and not digit_separator(text, i):
            j = i + 1
            while j < n and text[j] != "'" and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, j + 1)
            i = j + 1
        else:
            i += 1
    return mask


def scopes(text, mask):
    """For each '{' ... '}' block: (start, end, kind, name); kind is
    'namespace', 'enum' or 'other'."""
    blocks, stack = [], []
    for m in re.finditer(r"[{}]", text):
        if not mask[m.start()]:
            continue
        if m.group(0) == "{":
            head = text[max(0, m.start() - 200):m.start()]
            ns = re.search(r"\bnamespace\s*([\w:]*)\s*$", head)
            en = re.search(r"\benum\b[^;{}()]*$", head)
            if ns:
                stack.append((m.start(), "namespace", ns.group(1)))
            elif en:
                stack.append((m.start(), "enum", ""))
            else:
                stack.append((m.start(), "other", ""))
        elif stack:
            start, kind, name = stack.pop()
            blocks.append((start, m.end(), kind, name))
    for start, kind, name in stack:
        blocks.append((start, len(text), kind, name))
    return blocks


class Source:
    def __init__(self, path, text):
        self.path = path
        self.text = text
        self.mask = code_mask(text)
        self.blocks = scopes(text, self.mask)

    def in_qor(self, pos):
        return any(
            kind == "namespace" and (name == "qor" or name.startswith("qor::")) and start < pos < end
            for start, end, kind, name in self.blocks
        )

    def in_enum(self, pos):
        return any(kind == "enum" and start < pos < end for start, end, kind, _ in self.blocks)

    def qualified(self, pos, name):
        return ("str::" if self.in_qor(pos) else "qor::str::") + name

    def line_at(self, pos):
        a = self.text.rfind("\n", 0, pos) + 1
        b = self.text.find("\n", pos)
        return self.text[a:] if b < 0 else self.text[a:b]


def relpath(path):
    return os.path.relpath(path, ROOT)


def read_renames():
    renames = []
    if os.path.exists(RENAMES):
        with open(RENAMES, encoding="utf-8") as f:
            for line in f:
                if line.startswith("#") or not line.strip():
                    continue
                file, old, new = line.rstrip("\n").split("\t")
                renames.append((file, old, new))
    return renames


def write_renames(renames):
    lines = [
        "# Local constants that repeated a string id, and the table name that replaced them\n",
        "# (scripts/name-string-ids.py). Columns: declaring file <TAB> old name <TAB> table name.\n",
        "# A header's constant is renamed in every file, a source file's only in itself.\n",
    ]
    for r in sorted(set(renames)):
        lines.append("\t".join(r) + "\n")
    with open(RENAMES, "w", encoding="utf-8") as f:
        f.writelines(lines)


DECL = re.compile(
    r"^[ \t]*(?:(?:static|inline)\s+)*(?:constexpr|const)\s+(?:(?:unsigned|signed|std::)?\s*"
    r"(?:int|uint|quint32|qint32|uint32_t|int32_t|UINT|long))\s+(k\w+)\s*=\s*(\d+)\s*;[ \t]*(?://[^\n]*)?\n",
    re.M,
)
ENUMERATOR = re.compile(r"^[ \t]*(k\w+)\s*=\s*(\d+)\s*,?[ \t]*(?://[^\n]*)?\n", re.M)


def drop_constants(src, table):
    """Deletes the constants of one file that repeat a table id; returns
    the new text and [(old name, table name)]."""
    text, mask = src.text, src.mask
    cuts, renamed = [], []
    for pattern, need_enum in ((DECL, False), (ENUMERATOR, True)):
        for m in pattern.finditer(text):
            pos = m.start(1)
            if not mask[pos] or src.in_enum(pos) != need_enum:
                continue
            if OPT_OUT in m.group(0):
                continue
            value = int(m.group(2))
            if value < FIRST_NAMED_LITERAL or value not in table:
                continue
            cuts.append((m.start(), m.end()))
            renamed.append((m.group(1), table[value]))
    if not cuts:
        return text, renamed
    # A comment block that stood over deleted constants alone goes with them.
    lines = text.splitlines(keepends=True)
    offsets, o = [], 0
    for line in lines:
        offsets.append(o)
        o += len(line)
    cut_lines = {i for i, off in enumerate(offsets) if any(a == off for a, _ in cuts)}
    drop = set(cut_lines)
    i = 0
    while i < len(lines):
        if lines[i].strip().startswith("//") or i in cut_lines:
            j = i
            while j < len(lines) and (lines[j].strip().startswith("//") or j in cut_lines):
                j += 1
            group = range(i, j)
            after = lines[j].strip() if j < len(lines) else ""
            # The group is only comments and deleted constants; it goes
            # whole when nothing it spoke of is left after it.
            if any(k in cut_lines for k in group) and (after == "" or after.startswith("}")):
                drop.update(group)
            i = j
        else:
            i += 1
    out = "".join(line for k, line in enumerate(lines) if k not in drop)
    # A now empty enum goes too.
    out = re.sub(r"\n[ \t]*enum\s+\w+\s*(?::\s*\w+\s*)?\{\s*\};[ \t]*\n", "\n", out)
    # And a now empty unnamed namespace.
    out = re.sub(r"\n[ \t]*namespace\s*\{\s*\}[ \t]*(?://[^\n]*)?\n", "\n", out)
    out = re.sub(r"\n\n\n+", "\n\n", out)
    return out, renamed


MULTI = re.compile(
    r"^([ \t]*)((?:(?:static|inline)\s+)*constexpr\s+int\s+)"
    r"((?:k\w+\s*=\s*[^,;{}()]+,\s*)+k\w+\s*=\s*[^,;{}()]+);[ \t]*\n",
    re.M,
)


def split_declarations(src, table):
    """`constexpr int kA = 64890, kB = 3;`: the declarators that repeat a
    table id go, the others stay."""
    text, renamed = src.text, []

    def one(m):
        if not src.mask[m.start(2)] or OPT_OUT in m.group(0):
            return m.group(0)
        kept = []
        for part in re.split(r",\s*", m.group(3)):
            name, value = (s.strip() for s in part.split("=", 1))
            if value.isdigit() and int(value) >= FIRST_NAMED_LITERAL and int(value) in table:
                renamed.append((name, table[int(value)]))
            else:
                kept.append(f"{name} = {value}")
        if not renamed:
            return m.group(0)
        return f"{m.group(1)}{m.group(2)}{', '.join(kept)};\n" if kept else ""

    return MULTI.sub(one, text), renamed


def include_names(text, header=True):
    """A file that lost its own constants sees the table's names through
    resources/stringids.h, unless it includes it or engine/messages.h."""
    if re.search(r'#include\s+"(?:engine/messages|resources/stringids)\.h"', text):
        return text
    includes = list(re.finditer(r'^#include\s+"([^"]+)"[^\n]*\n', text, re.M))
    if includes:
        # In name order among the project's includes after the first (a
        # source file's own header stays on top).
        later = [m for m in includes[0 if header else 1:] if m.group(1) > "resources/stringids.h"]
        at = later[0].start() if later else includes[-1].end()
        return text[:at] + '#include "resources/stringids.h"\n' + text[at:]
    angled = list(re.finditer(r"^#include\s+<[^>]+>[^\n]*\n", text, re.M))
    if angled:
        at = angled[-1].end()
        return text[:at] + '\n#include "resources/stringids.h"\n' + text[at:]
    once = re.search(r"^#pragma once[^\n]*\n", text, re.M)
    at = once.end() if once else 0
    return text[:at] + '\n#include "resources/stringids.h"\n' + text[at:]


def declares(text, name):
    return re.search(r"\b(?:constexpr|const|enum)\b[^;\n]*\b" + name + r"\s*=", text) or re.search(
        r"^[ \t]*" + name + r"\s*=\s*\d+\s*,", text, re.M
    )


def rename_uses(src, old, new):
    """Replaces the code uses of a deleted constant (with any qualifier in
    front) by the table name."""
    text, mask = src.text, src.mask
    out, last, count = [], 0, 0
    for m in re.finditer(r"(?<![\w:])(?:\w+::)*" + re.escape(old) + r"\b", text):
        if not mask[m.start()] or m.group(0).endswith("str::" + old):
            continue  # a table name already
        out.append(text[last:m.start()])
        out.append(src.qualified(m.start(), new))
        last = m.end()
        count += 1
    out.append(text[last:])
    return "".join(out), count


CALL = re.compile(r"\b(" + "|".join(STRING_FUNCTIONS) + r")\s*\(\s*(?:&?[\w.>-]+\s*,\s*)?(-?\d+)\b")
LITERAL = re.compile(r"(?<![\w.'])(\d{5})(?![\w.'])")


def name_literals(src, table, problems):
    text, mask = src.text, src.mask
    spots = {}
    for m in CALL.finditer(text):
        pos = m.start(2)
        if not mask[pos] or OPT_OUT in src.line_at(pos):
            continue
        value = int(m.group(2))
        if value in table:
            spots[pos] = (m.end(2), table[value])
        else:
            line = text.count("\n", 0, pos) + 1
            problems.append(f"{relpath(src.path)}:{line}: {m.group(1)}({m.group(2)}): no such id in the table")
    for m in LITERAL.finditer(text):
        pos = m.start(1)
        if pos in spots or not mask[pos] or OPT_OUT in src.line_at(pos):
            continue
        value = int(m.group(1))
        if value >= FIRST_NAMED_LITERAL and value in table:
            spots[pos] = (m.end(1), table[value])
    if not spots:
        return text, 0
    out, last = [], 0
    for pos in sorted(spots):
        end, name = spots[pos]
        out.append(text[last:pos])
        out.append(src.qualified(pos, name))
        last = end
    out.append(text[last:])
    return "".join(out), len(spots)


def qualify(src, table_names):
    """Writes every table name as the rule says: `str::` inside namespace
    qor, `qor::str::` outside, whichever way it was written."""
    text, mask = src.text, src.mask
    out, last = [], 0
    for m in re.finditer(r"(?<![\w:])(?:qor::)?str::(k[A-Z]\w*)\b", text):
        if not mask[m.start()] or m.group(1) not in table_names:
            continue
        want = src.qualified(m.start(), m.group(1))
        if m.group(0) != want:
            out.append(text[last:m.start()])
            out.append(want)
            last = m.end()
    out.append(text[last:])
    return "".join(out)


def main(argv):
    check = "--check" in argv
    table = read_table()
    renames = read_renames()
    texts = {}
    for path in source_files():
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            texts[path] = f.read()
    original = dict(texts)

    # 1. Constants that repeat a table id.
    for path, text in texts.items():
        text, split = split_declarations(Source(path, text), table)
        new_text, renamed = drop_constants(Source(path, text), table)
        renamed = split + renamed
        if renamed:
            texts[path] = include_names(new_text, path.endswith((".h", ".hpp")))
            renames.extend((relpath(path), old, new) for old, new in renamed)

    # Their uses: a source file's in itself, a header's everywhere; a file's
    # own constant wins over a header's of the same name.
    def declared_in(file, path):
        # A file moved to another folder since is still the same file.
        if os.path.exists(os.path.join(ROOT, file)):
            return os.path.join(ROOT, file) == path
        return os.path.basename(file) == os.path.basename(path)

    for path in texts:
        chosen = {}
        for file, old, new in sorted(set(renames), key=lambda r: r[0].endswith((".h", ".hpp"))):
            own = declared_in(file, path)
            if (own or file.endswith((".h", ".hpp"))) and old not in chosen:
                chosen[old] = new
        for old, new in chosen.items():
            text = texts[path]
            if old not in text or declares(text, old):
                continue
            texts[path], _ = rename_uses(Source(path, text), old, new)

    # 2. Literal ids.
    problems = []
    for path, text in texts.items():
        texts[path], _ = name_literals(Source(path, text), table, problems)

    # 3. One way of writing each name, by where it stands.
    table_names = set(table.values())
    for path, text in texts.items():
        if "str::k" in text:
            texts[path] = qualify(Source(path, text), table_names)

    # A file that now names ids without calling a text function of
    # engine/messages.h (an id table, a test comparing ids) includes the
    # names itself.
    for path, text in texts.items():
        if text != original[path] and "str::k" in text and not re.search(r"\b(?:LoadErrorText|messageText|CmdText)\s*\(", text):
            texts[path] = include_names(text, path.endswith((".h", ".hpp")))

    # 5. Tables that refer to a string: the descriptions of functions.tsv.
    functions = os.path.join(ROOT, "resources", "functions.tsv")
    with open(functions, encoding="utf-8") as f:
        texts[functions] = original[functions] = f.read()

    def function_ref(m):
        value = int(m.group(2))
        if value in table:
            return m.group(1) + "@" + table[value]
        problems.append(f"resources/functions.tsv: @{value}: no such id in the table")
        return m.group(0)

    texts[functions] = re.sub(r"(^|\t)@(\d+)(?=\t|$)", function_ref, texts[functions], flags=re.M)

    changed = [p for p in texts if texts[p] != original[p]]
    for path in changed:
        print(("would change " if check else "named ids in ") + relpath(path))
        if not check:
            with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write(texts[path])
    if not check and renames:
        write_renames(renames)
    for p in problems:
        print("not named: " + p)
    if check and changed:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
