#!/usr/bin/python3
"""A small IMAP server over one Maildir for the mail transport's tests.

It answers what an IMAP client needs to find and fetch unseen messages:
CAPABILITY, NOOP, LOGIN (one user and password), SELECT/EXAMINE (the one
mailbox INBOX), SEARCH/UID SEARCH (ALL, UNSEEN, SEEN), FETCH/UID FETCH of
BODY[], BODY.PEEK[], BODY[HEADER] and FLAGS, STORE/UID STORE of flags, and
LOGOUT. As a real server does, a BODY[...] fetch marks a message seen; the
\\Seen flag is the Maildir's "S" flag (message moved to cur/).

Listens on 127.0.0.1 at a free port, prints the port on the first line of
its output and ends by itself after --limit seconds. Commands go to the
error output, except what LOGIN carries.
"""
import argparse
import os
import re
import socketserver
import sys
import threading


class Maildir:
    def __init__(self, root):
        self.root = root
        self.lock = threading.Lock()
        self.uids = {}  # message key -> UID, kept for the server's life
        self.next_uid = 1
        for sub in ("tmp", "new", "cur"):
            os.makedirs(os.path.join(root, sub), exist_ok=True)

    def messages(self):
        """[(uid, path, flags)] by UID."""
        found = []
        for sub in ("new", "cur"):
            folder = os.path.join(self.root, sub)
            for name in sorted(os.listdir(folder)):
                key, _, info = name.partition(":2,")
                if key not in self.uids:
                    self.uids[key] = self.next_uid
                    self.next_uid += 1
                found.append((self.uids[key], os.path.join(folder, name),
                              set(info) if sub == "cur" else set()))
        found.sort()
        return found

    def set_seen(self, path, seen):
        name = os.path.basename(path)
        key, _, info = name.partition(":2,")
        flags = set(info)
        if seen:
            flags.add("S")
        else:
            flags.discard("S")
        target = os.path.join(self.root, "cur", key + ":2," + "".join(sorted(flags)))
        if target != path:
            os.rename(path, target)


ATOM = re.compile(r'"((?:[^"\\]|\\.)*)"|(\S+)')


def arguments(text):
    return [re.sub(r"\\(.)", r"\1", q) if q else a for q, a in ATOM.findall(text)]


def message_set(text, highest):
    chosen = set()
    for piece in text.split(","):
        if ":" in piece:
            a, b = piece.split(":", 1)
            lo = highest if a == "*" else int(a)
            hi = highest if b == "*" else int(b)
            chosen.update(range(min(lo, hi), max(lo, hi) + 1))
        else:
            chosen.add(highest if piece == "*" else int(piece))
    return chosen


class Handler(socketserver.StreamRequestHandler):
    def send(self, data):
        if isinstance(data, str):
            data = data.encode()
        self.wfile.write(data)
        self.wfile.flush()

    def handle(self):
        box = self.server.box
        state = "start"
        self.send("* OK IMAP4rev1 stand-in ready\r\n")
        while True:
            line = self.rfile.readline()
            if not line:
                return
            text = line.rstrip(b"\r\n").decode("utf-8", "replace")
            tag, _, rest = text.partition(" ")
            command, _, args = rest.partition(" ")
            command = command.upper()
            uid = False
            if command == "UID":
                uid = True
                command, _, args = args.partition(" ")
                command = command.upper()
            shown = "LOGIN ..." if command == "LOGIN" else rest
            print("C:", tag, shown, file=sys.stderr, flush=True)
            try:
                if command == "CAPABILITY":
                    self.send("* CAPABILITY IMAP4rev1\r\n%s OK done\r\n" % tag)
                elif command == "NOOP":
                    self.send("%s OK done\r\n" % tag)
                elif command == "LOGOUT":
                    self.send("* BYE\r\n%s OK done\r\n" % tag)
                    return
                elif command == "LOGIN":
                    given = arguments(args)
                    if given == [self.server.user, self.server.password]:
                        state = "auth"
                        self.send("%s OK logged in\r\n" % tag)
                    else:
                        self.send("%s NO [AUTHENTICATIONFAILED] invalid credentials\r\n" % tag)
                elif state == "start":
                    self.send("%s NO log in first\r\n" % tag)
                elif command in ("SELECT", "EXAMINE"):
                    name = (arguments(args) or [""])[0]
                    if name.upper() != "INBOX":
                        self.send("%s NO no such mailbox\r\n" % tag)
                        continue
                    with box.lock:
                        found = box.messages()
                    state = "selected"
                    self.send("* %d EXISTS\r\n* 0 RECENT\r\n"
                              "* FLAGS (\\Seen)\r\n* OK [UIDVALIDITY 1] UIDs valid\r\n"
                              "* OK [UIDNEXT %d] next\r\n%s OK [READ-WRITE] done\r\n"
                              % (len(found), box.next_uid, tag))
                elif state != "selected":
                    self.send("%s NO select a mailbox first\r\n" % tag)
                elif command == "SEARCH":
                    self.search(tag, args.upper().split(), uid)
                elif command == "FETCH":
                    self.fetch(tag, args, uid)
                elif command == "STORE":
                    self.store(tag, args, uid)
                else:
                    self.send("%s BAD unknown command\r\n" % tag)
            except (ValueError, IndexError):
                self.send("%s BAD malformed command\r\n" % tag)

    def chosen(self, found, text, uid):
        if uid:
            highest = found[-1][0] if found else 0
            wanted = message_set(text, highest)
            return [(n + 1, m) for n, m in enumerate(found) if m[0] in wanted]
        wanted = message_set(text, len(found))
        return [(n + 1, m) for n, m in enumerate(found) if n + 1 in wanted]

    def search(self, tag, keys, uid):
        with self.server.box.lock:
            found = self.server.box.messages()
        hits = []
        for n, (u, _, flags) in enumerate(found):
            seen = "S" in flags
            if "UNSEEN" in keys and seen or "SEEN" in keys and not seen:
                continue
            hits.append(u if uid else n + 1)
        self.send("* SEARCH%s\r\n%s OK done\r\n"
                  % ("".join(" %d" % h for h in hits), tag))

    def fetch(self, tag, args, uid):
        which, _, items = args.partition(" ")
        items = items.upper()
        box = self.server.box
        with box.lock:
            found = box.messages()
            for seq, (u, path, flags) in self.chosen(found, which, uid):
                with open(path, "rb") as f:
                    data = f.read()
                head = "UID %d" % u
                if "BODY[HEADER]" in items or "BODY.PEEK[HEADER]" in items:
                    ends = [i + len(m) for m in (b"\n\n", b"\r\n\r\n")
                            for i in [data.find(m)] if i >= 0]
                    name, body = "BODY[HEADER]", data[:min(ends, default=len(data))]
                elif "BODY[]" in items or "BODY.PEEK[]" in items:
                    name, body = "BODY[]", data
                else:
                    name, body = None, None
                if name and ".PEEK" not in items and "S" not in flags:
                    box.set_seen(path, True)
                if name:
                    self.send(("* %d FETCH (%s %s {%d}\r\n" % (seq, head, name, len(body))).encode()
                              + body + b")\r\n")
                else:
                    self.send("* %d FETCH (%s FLAGS (%s))\r\n"
                              % (seq, head, "\\Seen" if "S" in flags else ""))
        self.send("%s OK done\r\n" % tag)

    def store(self, tag, args, uid):
        which, what, _ = args.split(" ", 2)
        what = what.upper()
        if "\\SEEN" not in args.upper():
            self.send("%s OK done\r\n" % tag)
            return
        box = self.server.box
        with box.lock:
            found = box.messages()
            for seq, (u, path, flags) in self.chosen(found, which, uid):
                box.set_seen(path, not what.startswith("-"))
                if not what.endswith(".SILENT"):
                    self.send("* %d FETCH (UID %d FLAGS (%s))\r\n"
                              % (seq, u, "" if what.startswith("-") else "\\Seen"))
        self.send("%s OK done\r\n" % tag)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("maildir")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--limit", type=float, default=120)
    a = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    server.box = Maildir(a.maildir)
    server.user, server.password = a.user, a.password
    print(server.server_address[1], flush=True)
    threading.Timer(a.limit, lambda: os._exit(0)).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
