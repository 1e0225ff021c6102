#!/usr/bin/python3
"""Lists functions declared in our headers that nothing names.

Usage (from anywhere in the worktree; no build needed):

    scripts/unused-functions.py            # the unused functions, one a line
    scripts/unused-functions.py --count    # only how many
    scripts/unused-functions.py --tests    # also those only tests, benchmarks
                                           # or fuzz targets name
    scripts/unused-functions.py --skipped  # also what was left out, and why

Exit status 0 either way (it reports, it does not judge).

How it decides. Every C++ file of the code folders is cut into tokens
(comments dropped, string literals kept apart). A brace-aware pass finds the
*declarators*: the name a function declaration or definition introduces,
at namespace or class scope (`int Foo::Bar(...) {`, `void Bar(int);`).
Every other occurrence of an identifier is a use: a call, `&Foo::Bar` in a
command table, a name in a macro. A function declared in a header whose name
has no use anywhere is listed. Names are counted without their class, so a
name that some other function of the same name uses hides it (the list
errs on the side of missing a dead function, never on calling a live one
dead); overloads share one count for the same reason.

Not unused, and so never listed:
  - overrides (`override`, `final`, and every function of a name some
    override declares): virtual dispatch reaches them;
  - Qt slots, signals' connections by name and `Q_INVOKABLE` members: the
    meta-object system reaches them by their name (automation objects,
    connectSlotsByName);
  - `extern "C"` functions: modules are loaded and their entry points found
    by name (QLibrary::resolve, dlsym);
  - a name a string literal spells out whole where it is handed to a
    look-up by name (QLibrary::resolve, dlsym, invokeMethod, an automation
    object's invoke), or that a shell or Python script or a CMake file
    names;
  - constructors, destructors and operators;
  - ALLOWED below, each with its reason; `main` and the fuzz entry point.
"""

import argparse
import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
# Every folder of the project that holds code: the ones with a CMakeLists.txt
# (a library, the programs, tests, benchmarks, fuzz targets), build trees aside.
FOLDERS = sorted(d for d in os.listdir(ROOT)
                 if not d.startswith(("build", "."))
                 and os.path.isfile(os.path.join(ROOT, d, "CMakeLists.txt")))
TEST_FOLDERS = ("tests", "bench", "fuzz")
CODE_EXT = (".h", ".hpp", ".cpp", ".cc", ".c")
# Files that may name a function in text: scripts run by tests, the build.
TEXT_EXT = (".py", ".sh", ".cmake", ".qrc")

# Reached in a way no token count sees.
ALLOWED = {
    "main": "the program's entry point",
    "LLVMFuzzerTestOneInput": "the fuzz entry point libFuzzer calls",
    "LLVMFuzzerInitialize": "the fuzz entry point libFuzzer calls",
}

# Calls that find a function or member by the name a string gives.
BY_NAME = {"resolve", "dlsym", "invokeMethod", "invoke", "idOfName", "indexOfMethod",
           "indexOfSlot", "indexOfSignal", "connect", "SLOT", "SIGNAL"}

KEYWORDS = set("""
alignas alignof asm auto bool break case catch char char8_t char16_t char32_t class const
consteval constexpr constinit const_cast continue co_await co_return co_yield decltype default
delete do double dynamic_cast else enum explicit export extern false float for friend goto if
inline int long mutable namespace new noexcept nullptr operator private protected public
register reinterpret_cast requires return short signed sizeof static static_assert static_cast
struct switch template this thread_local throw true try typedef typeid typename union unsigned
using virtual void volatile wchar_t while override final emit Q_EMIT __attribute__
""".split())
# Tokens after which a name followed by "(" is a call, not a declarator.
NOT_A_TYPE = set("return new delete throw else case goto co_await co_return sizeof decltype "
                 "alignof typeid noexcept emit Q_EMIT and or not".split())

TOKEN = re.compile(r"""
    (?P<raw>(?:u8|[uUL])?R"(?P<delim>[^()\\\s]{0,16})\((?s:.*?)\)(?P=delim)")
  | (?P<str>(?:u8|[uUL])?"(?:[^"\\\n]|\\.)*")
  | (?P<chr>(?:u8|[uUL])?'(?:[^'\\\n]|\\.)*')
  | (?P<num>\.?\d(?:[eEpP][+-]|[\w.]|'(?=\w))*)
  | (?P<id>[A-Za-z_]\w*)
  | (?P<op>::|->|.)
""", re.VERBOSE)
COMMENT_OR_PP = re.compile(r"//[^\n]*|/\*.*?\*/|^[ \t]*#(?:[^\n\\]|\\.)*", re.S | re.M)
IDENT = re.compile(r"[A-Za-z_]\w*")
# Qt macros that end a statement without a semicolon.
QT_STATEMENT_MACRO = re.compile(r"Q_(OBJECT|GADGET|NAMESPACE|ENUM\w*|FLAG\w*|PROPERTY|DISABLE_\w+|"
                                r"DECLARE_\w+|INTERFACES|CLASSINFO|PLUGIN_METADATA)$")


class Decl:
    __slots__ = ("name", "path", "line", "flags")

    def __init__(self, name, path, line, flags):
        self.name, self.path, self.line, self.flags = name, path, line, flags


class FileScan:
    """Declarators, uses and names spelt out in strings of one file."""

    def __init__(self, path):
        self.path = path
        self.decls = []        # Decl
        self.uses = {}         # name -> count
        self.strings = set()   # names (lower case) a string spells out whole
        self.classes = set()   # class, struct and union names defined here

    def use(self, name):
        self.uses[name] = self.uses.get(name, 0) + 1


def tokens(text, scan):
    """The code's tokens as (kind, text, line); strings become one token."""
    out = []
    # Preprocessor lines: their names are uses (a macro may call a
    # function), their structure is not the code's.
    def drop(m):
        s = m.group(0)
        if s.lstrip().startswith("#"):
            if not re.match(r"\s*#\s*include", s):
                for ident in IDENT.findall(re.sub(r'"[^"\n]*"', "", s)):
                    scan.use(ident)
        return re.sub(r"[^\n]", " ", s)
    text = COMMENT_OR_PP.sub(drop, text)
    line = 1
    pos = 0
    callees = []  # the called name of each open parenthesis (None: not a call)
    for m in TOKEN.finditer(text):
        gap = text[pos:m.start()]
        line += gap.count("\n")
        pos = m.end()
        kind = m.lastgroup if m.lastgroup != "delim" else "raw"
        s = m.group(0)
        if kind in ("raw", "str"):
            body = s[s.index('"') + 1:-1]
            if kind == "raw":
                body = body[body.index("(") + 1:body.rindex(")")]
            # "Name", "Name(...)" and SLOT/SIGNAL's "1Name(...)", handed
            # to what looks a member or a symbol up by its name.
            whole = re.fullmatch(r"\s*[0-9]?([A-Za-z_]\w*)\s*(\(.*)?", body, re.S)
            if whole and any(c in BY_NAME for c in callees[-2:]):
                scan.strings.add(whole.group(1))
            out.append(("str", "", line))
        elif kind == "chr":
            out.append(("chr", "", line))
        elif kind == "num":
            out.append(("num", s, line))
        elif kind == "id":
            out.append(("id", s, line))
        elif not s.isspace():
            if s == "(":
                callees.append(out[-1][1] if out and out[-1][0] == "id" else None)
            elif s == ")" and callees:
                callees.pop()
            out.append(("op", s, line))
        line += s.count("\n")
    return out


def class_name(stmt):
    """The name a class head declares (the last name before ':' or '{')."""
    seen = False
    name = None
    depth = 0
    for kind, s, _ in stmt:
        if s in ("(", "<"):
            depth += 1
        elif s in (")", ">"):
            depth -= 1
        elif depth == 0 and s in ("class", "struct", "union"):
            seen = True
        elif depth == 0 and seen and s == ":":
            break
        elif depth == 0 and seen and kind == "id" and s not in ("final", "alignas") \
                and not s.isupper():
            name = s
    return name


def declarator(stmt):
    """(index, flags) of the function name a declaration statement
    introduces, or None. stmt is the tokens of one statement at namespace or
    class scope, without its ';' or '{'."""
    if not stmt:
        return None
    first = stmt[0][1]
    if first in ("using", "typedef", "static_assert", "namespace", "friend") and \
            not (first == "friend" and not any(s in ("class", "struct") for _, s, _ in stmt[:3])):
        return None
    words = {s for k, s, _ in stmt if k == "id"}
    if "operator" in words:
        return None
    flags = set()
    if words & {"override", "final"}:
        flags.add("override")
    if "virtual" in words:
        flags.add("virtual")
    if "Q_INVOKABLE" in words or "Q_SLOT" in words:
        flags.add("invokable")
    if "Q_SIGNAL" in words:
        flags.add("signal")
    if "extern" in words and any(k == "str" for k, _, _ in stmt):
        flags.add("extern-c")
    paren = angle = 0
    for i, (kind, s, _) in enumerate(stmt):
        if s == "(":
            if paren == 0 and angle == 0 and kind == "op" and i > 0 and stmt[i - 1][0] == "id":
                name = stmt[i - 1][1]
                if name in KEYWORDS or re.fullmatch(r"Q_\w+|__\w+|[A-Z][A-Z0-9_]*_EXPORT", name):
                    paren += 1
                    continue
                if i < 2:
                    return None  # a macro at the start of a statement
                prev_kind, prev, _ = stmt[i - 2]
                if prev == "~":
                    return None
                if prev == "::":
                    if i >= 3 and stmt[i - 3][1] == name:
                        return None  # Foo::Foo
                    return (i - 1, flags)
                if prev in ("*", "&", ">") or (prev_kind == "id" and prev not in NOT_A_TYPE):
                    return (i - 1, flags)
                return None
            paren += 1
        elif s == ")":
            paren -= 1
        elif paren == 0 and s == "<":
            angle += 1
        elif paren == 0 and s == ">" and angle > 0:
            angle -= 1
        elif paren == 0 and angle == 0 and s == "=":
            return None
    return None


def scan_file(path, rel):
    scan = FileScan(rel)
    with open(path, encoding="utf-8", errors="replace") as f:
        toks = tokens(f.read(), scan)
    # Scopes: "ns" (namespace, extern "C" block, file), "class" (with its
    # section: "" / "slots" / "signals"), "body" (function bodies,
    # initialisers, enums: every name there is a use).
    stack = [["ns", False, ""]]   # [kind, extern_c, section]
    stmt = []
    paren = 0
    i = 0
    n = len(toks)

    def flush(stmt):
        kind, extern_c, section = stack[-1]
        found = declarator(stmt) if kind in ("ns", "class") else None
        for j, (k, s, _) in enumerate(stmt):
            if k != "id":
                continue
            if found and j == found[0]:
                flags = set(found[1])
                if extern_c:
                    flags.add("extern-c")
                if section == "slots":
                    flags.add("invokable")
                if section == "signals":
                    flags.add("signal")
                scan.decls.append(Decl(s, rel, stmt[j][2], flags))
            else:
                scan.use(s)

    while i < n:
        kind, s, line = toks[i]
        top = stack[-1]
        if top[0] == "body":
            if kind == "id":
                scan.use(s)
            elif s == "{":
                stack.append(["body", False, ""])
            elif s == "}":
                stack.pop()
            i += 1
            continue
        # Access labels and section names of a class.
        if top[0] == "class" and not stmt and kind == "id":
            j = i
            section = None
            if s in ("public", "private", "protected"):
                j += 1
                section = ""
                if j < n and toks[j][1] in ("slots", "Q_SLOTS"):
                    section = "slots"
                    j += 1
            elif s in ("signals", "Q_SIGNALS"):
                section = "signals"
                j += 1
            if section is not None and j < n and toks[j][1] == ":":
                top[2] = section
                i = j + 1
                continue
        if not stmt and kind == "id" and QT_STATEMENT_MACRO.match(s):
            scan.use(s)
            i += 1
            if i < n and toks[i][1] == "(":
                depth = 0
                while i < n:
                    if toks[i][1] == "(":
                        depth += 1
                    elif toks[i][1] == ")":
                        depth -= 1
                    elif toks[i][0] == "id":
                        scan.use(toks[i][1])
                    i += 1
                    if depth == 0:
                        break
            continue
        if s == "(":
            paren += 1
        elif s == ")":
            paren -= 1
        if paren > 0 or s not in (";", "{", "}"):
            # (a brace inside parentheses is a default argument's)
            stmt.append(toks[i])
            i += 1
            continue
        paren = 0
        if s == ";":
            flush(stmt)
            stmt = []
        elif s == "}":
            flush(stmt)
            stmt = []
            if len(stack) > 1:
                stack.pop()
        else:  # "{"
            words = [t[1] for t in stmt]
            has_paren = "(" in words
            if "namespace" in words and not has_paren:
                flush(stmt)
                stack.append(["ns", top[1], ""])
            elif words[:1] == ["extern"] and len(stmt) == 2 and stmt[1][0] == "str":
                stack.append(["ns", True, ""])
            elif not has_paren and "=" not in words and any(w in ("class", "struct", "union") for w in words):
                name = class_name(stmt)
                if name:
                    scan.classes.add(name)
                flush(stmt)
                stack.append(["class", top[1], ""])
            else:
                # A function definition (its name is a declarator), an
                # enum, an initialiser: what is inside is uses.
                flush(stmt)
                stack.append(["body", False, ""])
            stmt = []
        i += 1
    flush(stmt)
    return scan


def text_names(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return set(IDENT.findall(f.read()))


def walk():
    for folder in FOLDERS:
        base = os.path.join(ROOT, folder)
        for dirpath, dirnames, filenames in os.walk(base):
            dirnames[:] = sorted(d for d in dirnames if d != "corpus")
            for f in sorted(filenames):
                yield os.path.join(dirpath, f)
    for extra in ("CMakeLists.txt", "cmake", "scripts"):
        p = os.path.join(ROOT, extra)
        if os.path.isfile(p):
            yield p
        for dirpath, _, filenames in os.walk(p):
            for f in sorted(filenames):
                yield os.path.join(dirpath, f)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--count", action="store_true", help="print only the number of unused functions")
    ap.add_argument("--tests", action="store_true",
                    help="also list the functions only tests, benchmarks or fuzz targets name")
    ap.add_argument("--skipped", action="store_true", help="also list what was left out, and why")
    args = ap.parse_args()

    scans = []
    spelt = set()
    for path in walk():
        rel = os.path.relpath(path, ROOT)
        if path.endswith(CODE_EXT):
            scans.append(scan_file(path, rel))
        elif path.endswith(TEXT_EXT) or os.path.basename(path) == "CMakeLists.txt":
            if os.path.abspath(path) != os.path.abspath(__file__):
                spelt |= text_names(path)

    classes = set()
    uses_product, uses_tests = {}, {}
    decls = {}
    for scan in scans:
        classes |= scan.classes
        spelt |= scan.strings
        in_tests = scan.path.split(os.sep)[0] in TEST_FOLDERS
        into = uses_tests if in_tests else uses_product
        for name, count in scan.uses.items():
            into[name] = into.get(name, 0) + count
        for d in scan.decls:
            decls.setdefault(d.name, []).append(d)

    unused, only_tests, skipped = [], [], []
    for name in sorted(decls):
        ds = decls[name]
        in_header = [d for d in ds if d.path.endswith((".h", ".hpp"))]
        if not in_header:
            continue
        where = "%s:%d" % (in_header[0].path, in_header[0].line)
        flags = set().union(*(d.flags for d in ds))
        reason = None
        if name in ALLOWED:
            reason = ALLOWED[name]
        elif name in classes:
            reason = "a class's name (constructor or conversion)"
        elif "override" in flags:
            reason = "an override: virtual dispatch reaches it"
        elif "invokable" in flags:
            reason = "a slot or Q_INVOKABLE: reached by name through the meta-object system"
        elif "extern-c" in flags:
            reason = 'extern "C": a module entry point found by name'
        elif name in spelt:
            reason = "spelt out in a string or a script: reached by name"
        product, tests = uses_product.get(name, 0), uses_tests.get(name, 0)
        if product or (tests and not args.tests):
            continue
        if tests:
            # A test helper that tests use is what it is for.
            if reason is None and where.split(os.sep)[0] not in TEST_FOLDERS:
                only_tests.append((where, name))
            continue
        if reason is not None:
            skipped.append((where, name, reason))
            continue
        unused.append((where, name))

    if args.count:
        print(len(unused))
        return 0
    for where, name in unused:
        print("%s: %s" % (where, name))
    if args.tests:
        print("\n# named only by tests, benchmarks or fuzz targets (%d)" % len(only_tests))
        for where, name in only_tests:
            print("%s: %s" % (where, name))
    if args.skipped:
        print("\n# not counted as unused (%d)" % len(skipped))
        for where, name, reason in skipped:
            print("%s: %s -- %s" % (where, name, reason))
    print("%d unused" % len(unused), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
