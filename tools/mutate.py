#!/usr/bin/env python3
"""A small mutation tester for C++ sources built with CMake and tested with CTest.

It works in its own clone of the project and one build folder:

  mutate.py [--tree T] [--build-dir build] setup [--origin <your checkout>] [--jobs 2]
            [--cmake-arg -DX=Y ...] [--targets T ...]
      clone the project (once), configure the build folder, build (everything by default).

  mutate.py list FILE [--seed 1]
      show every candidate mutant of FILE (path relative to the tree), nothing is built.

  mutate.py run FILE (-R REGEX | -L LABEL | -E REGEX | -LE LABEL)... [--max-compiled 16]
                [--seed 1] [--timeout 120] [--jobs 2] [--targets T ...] [--out DIR]
                [--confirm-all] [--ids 3,7]
      baseline (build + selected tests must pass), then for each sampled mutant: write it into
      FILE, incremental build, run the selected tests (stop at the first failure), restore FILE
      byte for byte. Results go to DIR/<file-slug>.json and DIR/<file-slug>.md.

  mutate.py report DIR
      the per-file table, the overall score and every survivor (diff) from DIR/*.json.

Mutation operators (comments, string/char literals, preprocessor lines and files under tests/
are never touched):
  cmp     == <-> !=, < -> <= / >=, <= -> < / >, > -> >= / <=, >= -> > / <
  logic   && <-> ||
  delete  delete a statement that is a plain call or an assignment (also ++/--), single- or
          multi-line; declarations, returns and control statements are never deleted
  bool    return true; <-> return false;
  status  return kStatusX; -> return kStatusY; (another status constant with a different value,
          taken from the file and the project headers it includes)
  int     an integer literal + 1 (decimal, octal and hex keep their notation and suffix)
  swap    swap two adjacent statements of the same block (no jumps, no dependent declaration)

Sampling is deterministic for a given seed: candidates are shuffled per operator and taken
round-robin across operators until --max-compiled mutants compiled (or candidates run out).
Calls matching --ignore-call (default: the logging call `log`/`X::log`) are neither deleted nor
swapped nor mutated inside: their survivors say nothing about behaviour.
"""

import argparse
import difflib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

DEFAULT_TREE = "/var/tmp/mutation-tree"
DEFAULT_ORIGIN = (subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True).stdout.strip()
                  or os.getcwd())
DEFAULT_OUT = "/var/tmp/mutation-results"
# Ninja rebuilds one changed file fastest; without it CMake's default generator does the same.
CONFIGURE_ARGS = (["-G", "Ninja"] if shutil.which("ninja") else []) + [
    "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DRCP_WINDOWS=OFF", "-DRCP_BENCH=OFF"]

# --------------------------------------------------------------------------------------------
# Lexing: a mask of the source where comments are blanked and string/char literal contents
# are blanked (the quotes stay), so that operators are only ever found in code.
# --------------------------------------------------------------------------------------------


def code_mask(text):
    out = list(text)
    i, n = 0, len(text)

    def blank(a, b, keep_ends=False):
        for k in range(a, b):
            if out[k] != "\n" and not (keep_ends and (k == a or k == b - 1)):
                out[k] = " "

    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_')) or \
                (c in "uUL8" and re.match(r'(u8|u|U|L)R"', text[i:i + 4]) and
                 (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_'))):
            q = text.find('"', i)
            paren = text.find("(", q)
            delim = text[q + 1:paren]
            end = text.find(")" + delim + '"', paren)
            end = n if end < 0 else end + len(delim) + 2
            blank(q, end, keep_ends=True)
            i = end
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum() and _is_digit_sep(text, i))):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            blank(i, j, keep_ends=True)
            i = j
        else:
            i += 1
    return "".join(out)


def _is_digit_sep(text, i):
    # 1'000'000: a quote between two digits is a digit separator, not a char literal.
    return i + 1 < len(text) and text[i - 1].isdigit() and text[i + 1].isdigit()


# --------------------------------------------------------------------------------------------
# Statements and blocks
# --------------------------------------------------------------------------------------------

KEYWORDS_NOT_STATEMENTS = ("return", "break", "continue", "goto", "throw", "case", "default",
                           "using", "namespace", "typedef", "struct", "class", "enum", "union",
                           "template", "static_assert", "if", "for", "while", "do", "else",
                           "switch", "try", "catch", "public", "private", "protected", "co_return",
                           "co_await", "co_yield", "friend", "extern", "static", "constexpr",
                           "const", "inline", "auto", "unsigned", "signed", "int", "long",
                           "short", "bool", "char", "float", "double", "void")
JUMPS = ("return", "break", "continue", "goto", "throw", "co_return")


class Source:
    def __init__(self, text):
        self.text = text
        self.lines = text.split("\n")
        self.mask = code_mask(text).split("\n")
        self.preproc = self._preprocessor_lines()
        self.block_kind = self._block_kinds()  # per line: kind of innermost block at line start
        self.statements = self._statements()

    def _preprocessor_lines(self):
        skip = set()
        cont = False
        for i, m in enumerate(self.mask):
            if cont or m.lstrip().startswith("#"):
                skip.add(i)
                cont = m.rstrip().endswith("\\")
            else:
                cont = False
        return skip

    def _block_kinds(self):
        """Kind of the innermost brace at the start of each line: 'ns', 'class', 'code' or None."""
        kinds = []
        stack = []
        pending = ""  # code text since the last ; { or }
        for i, m in enumerate(self.mask):
            kinds.append(stack[-1] if stack else None)
            if i in self.preproc:
                continue
            for ch in m:
                if ch == "{":
                    head = pending.strip()
                    if re.search(r"\bnamespace\b[\w:\s]*$", head) or head.startswith("extern \"") \
                            or re.match(r'^extern\s+"', head):
                        stack.append("ns")
                    elif re.search(r"\b(class|struct|union|enum)\b[^()]*$", head) and "=" not in head:
                        stack.append("class")
                    elif stack and stack[-1] in ("ns", "class") and not head.endswith(")") \
                            and not re.search(r"\)\s*(const|noexcept|override|final|\s)*$", head) \
                            and not re.search(r"\)\s*:.*$", head):
                        # initializer at namespace/class scope (e.g. "int x{3};")
                        stack.append("init")
                    else:
                        stack.append("code")
                    pending = ""
                elif ch == "}":
                    if stack:
                        stack.pop()
                    pending = ""
                elif ch == ";":
                    pending = ""
                else:
                    pending += ch
            pending += " "
        return kinds

    def _prev_code_line(self, i):
        j = i - 1
        while j >= 0 and (not self.mask[j].strip() or j in self.preproc):
            j -= 1
        return j

    def _starts_statement(self, i):
        if self.block_kind[i] != "code" or i in self.preproc:
            return False
        s = self.mask[i].strip()
        if not s or s.startswith(("{", "}", "#")):
            return False
        j = self._prev_code_line(i)
        if j < 0:
            return False
        prev = self.mask[j].rstrip()
        if prev.endswith("::"):
            return False
        return prev.endswith((";", "{", "}")) or (prev.endswith(":") and
                                                  re.search(r"\b(case|default|public|private|protected)\b|^\s*\w+:$", prev))

    def _statements(self):
        """Statements that start at the beginning of a line and end with ';' at depth 0, within
        six lines; each is (first_line, last_line, masked text)."""
        out = []
        for i in range(len(self.lines)):
            if not self._starts_statement(i):
                continue
            depth = 0
            text = ""
            for j in range(i, min(i + 6, len(self.lines))):
                if j in self.preproc:
                    break
                m = self.mask[j]
                for ch in m:
                    if ch in "([{":
                        depth += 1
                    elif ch in ")]}":
                        depth -= 1
                    if depth < 0:
                        break
                if depth < 0:
                    break
                text += (" " if text else "") + m.strip()
                if depth == 0 and m.rstrip().endswith(";"):
                    # a block opened and closed inside (lambda) is fine; "}" ends nothing here
                    out.append((i, j, text))
                    break
                if depth == 0 and (m.rstrip().endswith("{") or m.rstrip().endswith("}")):
                    break
        return out


def first_word(stmt):
    m = re.match(r"[A-Za-z_]\w*", stmt)
    return m.group(0) if m else ""


def call_name(stmt):
    """The callee of a plain call statement 'callee(...)...;', else None."""
    k = stmt.find("(")
    if k <= 0:
        return None
    callee = stmt[:k]
    if re.search(r"\s", callee) or "=" in callee:
        return None
    if not re.match(r"^(::)?[A-Za-z_][\w:.<>\->\[\]\*&]*$", callee):
        return None
    if first_word(stmt) in KEYWORDS_NOT_STATEMENTS:
        return None
    return callee


def is_assignment(stmt):
    if first_word(stmt) in KEYWORDS_NOT_STATEMENTS:
        return False
    if re.match(r"^(\+\+|--)[\w.\->\[\]\*]+;$", stmt) or re.match(r"^[\w.\->\[\]\*]+(\+\+|--);$", stmt):
        return True
    m = re.match(r"^(?P<lhs>[^\s=!<>(]+(\[[^\]]*\])?)\s*(=|\+=|-=|\*=|/=|%=|\|=|&=|\^=|<<=|>>=)(?!=)", stmt)
    return bool(m) and not re.search(r"\s", m.group("lhs"))


CONTROL = {"if", "for", "while", "switch", "return", "sizeof", "alignof", "decltype",
           "static_cast", "const_cast", "reinterpret_cast", "dynamic_cast"}


def has_call(stmt):
    return any(m.group(1) not in CONTROL for m in re.finditer(r"([A-Za-z_]\w*)\s*\(", stmt))


def names_in(stmt):
    return {w for w in re.findall(r"[A-Za-z_]\w*", stmt)
            if w not in CONTROL and w not in KEYWORDS_NOT_STATEMENTS and w not in ("true", "false", "nullptr")}


def declared_name(stmt):
    """The name a declaration statement introduces, if it looks like one."""
    if call_name(stmt) or is_assignment(stmt) or first_word(stmt) in JUMPS:
        return None
    m = re.match(r"^(?:[\w:<>,\*&\s]+?)\s+[\*&]*([A-Za-z_]\w*)\s*(=|\(|\{|;)", stmt)
    if m:
        return m.group(1)
    m = re.match(r"^(?:const\s+)?auto\s*&{0,2}\s*\[([^\]]*)\]", stmt)
    if m:
        return m.group(1).split(",")[0].strip()
    return None


# --------------------------------------------------------------------------------------------
# Mutant generation
# --------------------------------------------------------------------------------------------

CMP_REPLACEMENTS = {
    "==": ["!="], "!=": ["=="],
    "<": ["<=", ">="], "<=": ["<", ">"],
    ">": [">=", "<="], ">=": [">", "<"],
}


def status_constants(tree, relpath, text):
    """kStatus* constants of the file and the project headers it includes, as a list of groups
    (constants declared on consecutive lines form a group); each entry is (name, value)."""
    groups = []
    texts = [text]
    for inc in re.findall(r'^\s*#\s*include\s+"([^"]+)"', text, re.M):
        for base in (tree, os.path.join(tree, os.path.dirname(relpath))):
            p = os.path.join(base, inc)
            if os.path.isfile(p):
                with open(p, encoding="utf-8", errors="replace") as f:
                    texts.append(f.read())
                break
    seen = set()
    for t in texts:
        group, last = [], -2
        for lineno, line in enumerate(t.split("\n")):
            mo = re.search(r"\b(kStatus\w+)\s*=\s*(-?\w+)\s*;", line)
            if not mo:
                continue
            if lineno != last + 1 and group:
                groups.append(group)
                group = []
            last = lineno
            if mo.group(1) not in seen:
                seen.add(mo.group(1))
                group.append((mo.group(1), mo.group(2)))
        if group:
            groups.append(group)
    return groups


def status_replacement(groups, name):
    """The next constant of the same group with a different value (cyclically); else the first
    constant of any group with a different value."""
    for group in groups:
        names = [n for n, _ in group]
        if name in names:
            k = names.index(name)
            value = group[k][1]
            for step in range(1, len(group)):
                n, v = group[(k + step) % len(group)]
                if v != value:
                    return n
            for other in groups:
                for n, v in other:
                    if v != value:
                        return n
    return None


def generate(tree, relpath, ignore_call):
    path = os.path.join(tree, relpath)
    with open(path, encoding="utf-8") as f:
        text = f.read()
    src = Source(text)
    lines, mask = src.lines, src.mask
    ignore_re = re.compile(ignore_call) if ignore_call else None
    mutants = []

    def add(op, first, last, new_lines, desc):
        mutants.append({"op": op, "line": first + 1, "first": first, "last": last,
                        "new": new_lines, "desc": desc})

    # lines that belong to ignored calls (logging): no mutant touches them
    ignored = set()
    stmt_info = []
    for (a, b, s) in src.statements:
        callee = call_name(s)
        ign = bool(callee and ignore_re and ignore_re.search(callee))
        if ign:
            ignored.update(range(a, b + 1))
        stmt_info.append((a, b, s, callee, ign))

    def mutable_line(i):
        return i not in src.preproc and i not in ignored and mask[i].strip() != ""

    def replace_at(i, start, end, new):
        return lines[i][:start] + new + lines[i][end:]

    # --- token operators, line by line --------------------------------------------------------
    statuses = status_constants(tree, relpath, text)
    for i, m in enumerate(mask):
        if not mutable_line(i):
            continue
        # comparisons
        for mo in re.finditer(r"(?<![=!<>+\-*/%&|^])(==|!=)(?!=)", m):
            if re.search(r"operator\s*$", m[:mo.start()]):
                continue
            for rep in CMP_REPLACEMENTS[mo.group(1)]:
                add("cmp", i, i, [replace_at(i, mo.start(), mo.end(), rep)],
                    f"'{mo.group(1)}' -> '{rep}'")
        for mo in re.finditer(r"(?<=\s)(<=|>=|<|>)(?=\s)", m):
            if re.search(r"operator\s*$", m[:mo.start()]):
                continue
            for rep in CMP_REPLACEMENTS[mo.group(1)]:
                add("cmp", i, i, [replace_at(i, mo.start(), mo.end(), rep)],
                    f"'{mo.group(1)}' -> '{rep}'")
        # logic
        for mo in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", m):
            rep = "||" if mo.group(1) == "&&" else "&&"
            add("logic", i, i, [replace_at(i, mo.start(), mo.end(), rep)],
                f"'{mo.group(1)}' -> '{rep}'")
        # return true / false
        for mo in re.finditer(r"\breturn\s+(true|false)\s*;", m):
            rep = "false" if mo.group(1) == "true" else "true"
            s, e = mo.span(1)
            add("bool", i, i, [replace_at(i, s, e, rep)], f"return {mo.group(1)} -> return {rep}")
        # return of a status constant
        for mo in re.finditer(r"\breturn\s+(kStatus\w+)\s*;", m):
            name = mo.group(1)
            other = status_replacement(statuses, name)
            s, e = mo.span(1)
            if other:
                add("status", i, i, [replace_at(i, s, e, other)], f"return {name} -> return {other}")
        # integer literals
        for mo in re.finditer(r"(?<![\w.])(0[xX][0-9a-fA-F]+|0[0-7]*|[1-9][0-9]*)([uUlL]*)(?![\w.'])", m):
            lit, suffix = mo.group(1), mo.group(2)
            if lit.lower().startswith("0x"):
                new = "0x%X" % (int(lit, 16) + 1) if any(ch.isupper() for ch in lit[2:]) else \
                    "0x%x" % (int(lit, 16) + 1)
            elif len(lit) > 1 and lit.startswith("0"):
                new = "0%o" % (int(lit, 8) + 1)
            else:
                new = str(int(lit) + 1)
            add("int", i, i, [replace_at(i, mo.start(), mo.end(), new + suffix)],
                f"{lit}{suffix} -> {new}{suffix}")

    # --- statement operators ----------------------------------------------------------------
    for (a, b, s, callee, ign) in stmt_info:
        if ign:
            continue
        if callee or is_assignment(s):
            kind = "call" if callee else "assignment"
            add("delete", a, b, [], f"delete {kind} statement")
        elif first_word(s) == "if" and a == b:
            # "if (cond) call();" on one line: the controlled call/assignment is deleted
            body = if_body_span(mask[a])
            nxt = by_start_line(stmt_info, b + 1)
            if body and not (nxt and first_word(nxt) == "else"):
                bs, be = body
                inner = mask[a][bs:be].strip()
                c2 = call_name(inner)
                if (c2 and not (ignore_re and ignore_re.search(c2))) or is_assignment(inner):
                    kind = "call" if c2 else "assignment"
                    add("delete", a, b, [lines[a][:bs] + " {}" + lines[a][be:]],
                        f"delete the {kind} under a one-line if")
    # adjacent statements: the next one starts on the line after the first ends
    by_start = {a: (a, b, s, c, ign) for (a, b, s, c, ign) in stmt_info}
    for (a, b, s, callee, ign) in stmt_info:
        nxt = by_start.get(b + 1)
        if not nxt:
            continue
        a2, b2, s2, callee2, ign2 = nxt
        if ign or ign2 or src.block_kind[a] != src.block_kind[a2]:
            continue
        if first_word(s) in JUMPS or first_word(s2) in JUMPS:
            continue
        if first_word(s) in ("if", "for", "while", "do", "switch", "else") and not s.endswith(";"):
            continue
        if s == s2:
            continue
        # declarations are not swapped: moved across a use they do not compile, moved across a
        # guard they only move a computation
        if declared_name(s) or declared_name(s2):
            continue
        # two statements without calls that share no name cannot interact: trivially equivalent
        if not has_call(s) and not has_call(s2) and not (names_in(s) & names_in(s2)):
            continue
        indent_a = len(lines[a]) - len(lines[a].lstrip())
        indent_b = len(lines[a2]) - len(lines[a2].lstrip())
        if indent_a != indent_b:
            continue
        add("swap", a, b2, lines[a2:b2 + 1] + lines[a:b + 1], f"swap with the next statement")

    for k, mu in enumerate(mutants):
        mu["id"] = k
        mu["old"] = lines[mu["first"]:mu["last"] + 1]
    return text, mutants


def by_start_line(stmt_info, line):
    for (a, b, s, c, ign) in stmt_info:
        if a == line:
            return s
    return None


def if_body_span(m):
    """For a masked line 'if (cond) stmt;', the span of ' stmt;' (from after the closing
    parenthesis of the condition to the end of the statement)."""
    k = m.find("if")
    k = m.find("(", k)
    if k < 0:
        return None
    depth = 0
    for j in range(k, len(m)):
        if m[j] == "(":
            depth += 1
        elif m[j] == ")":
            depth -= 1
            if depth == 0:
                rest = m[j + 1:]
                end = rest.rfind(";")
                if end < 0 or not rest[:end].strip() or "{" in rest:
                    return None
                return (j + 1, j + 1 + end + 1)
    return None


def apply(text, mu):
    lines = text.split("\n")
    new = lines[:mu["first"]] + mu["new"] + lines[mu["last"] + 1:]
    return "\n".join(new)


def sample(mutants, seed):
    """Round-robin over operators, each operator's candidates in a seeded shuffled order."""
    rng = random.Random(seed)
    ops = sorted({m["op"] for m in mutants})
    queues = {}
    for op in ops:
        q = [m for m in mutants if m["op"] == op]
        rng.shuffle(q)
        queues[op] = q
    order = []
    while any(queues.values()):
        for op in ops:
            if queues[op]:
                order.append(queues[op].pop(0))
    return order


def diff_of(relpath, old_text, new_text):
    return "".join(difflib.unified_diff(old_text.splitlines(True), new_text.splitlines(True),
                                        "a/" + relpath, "b/" + relpath, n=1))


# --------------------------------------------------------------------------------------------
# Build and test
# --------------------------------------------------------------------------------------------

def sh(cmd, cwd=None, timeout=None, log=None):
    start = time.time()
    # its own session, so that a run past the timeout ends with every process it started
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         start_new_session=True)
    try:
        raw, _ = p.communicate(timeout=timeout)
        out, rc, to = raw.decode("utf-8", "replace"), p.returncode, False
    except subprocess.TimeoutExpired:
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        raw, _ = p.communicate()
        out = (raw or b"").decode("utf-8", "replace")
        rc, to = -1, True
    if log:
        with open(log, "a") as f:
            f.write("$ " + " ".join(cmd) + f"\n{out}\n[rc={rc} timeout={to} {time.time() - start:.1f}s]\n")
    return rc, out, to, time.time() - start


BUILD_DIR = "build"  # relative to the tree, or absolute (--build-dir)


def build_dir(tree):
    return os.path.join(tree, BUILD_DIR)


def build(tree, jobs, targets, log):
    cmd = ["cmake", "--build", build_dir(tree), "-j", str(jobs)]
    for t in targets or []:
        cmd += ["--target", t]
    return sh(cmd, log=log)


def ctest_cmd(tree, selection, timeout, jobs):
    cmd = ["ctest", "--test-dir", build_dir(tree), "--timeout", str(timeout),
           "--no-tests=error", "-j", str(jobs), "--output-on-failure"]
    return cmd + selection


def run_tests(tree, selection, timeout, jobs, total_timeout, log, stop_on_failure=True):
    cmd = ctest_cmd(tree, selection, timeout, jobs)
    if stop_on_failure:
        cmd.append("--stop-on-failure")
    rc, out, to, secs = sh(cmd, timeout=total_timeout, log=log)
    failed = re.findall(r"^\s*\d+ - (\S+) \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception|"
                        r"Not Run|Child aborted|Bus error|ILLEGAL|OTHER_FAULT)[^)]*\)", out, re.M)
    m = re.search(r"tests passed, (\d+) tests failed out of (\d+)", out)
    total = int(m.group(2)) if m else None
    timed_out = to or bool(re.search(r"\(Timeout\)|\*\*\*Timeout", out))
    return {"rc": rc, "timeout": timed_out, "failed": [f"{n} ({k})" for n, k in failed],
            "total": total, "seconds": round(secs, 1), "tail": out[-3000:]}


# --------------------------------------------------------------------------------------------
# Commands
# --------------------------------------------------------------------------------------------

def slug(relpath):
    return relpath.replace("/", "__")


def backup_path(out, relpath):
    return os.path.join(out, slug(relpath) + ".orig")


def cmd_setup(args):
    if not os.path.isdir(os.path.join(args.tree, ".git")):
        subprocess.check_call(["git", "clone", args.origin, args.tree])
    subprocess.check_call(["cmake"] + CONFIGURE_ARGS + args.cmake_arg +
                          ["-S", args.tree, "-B", build_dir(args.tree)])
    rc, out, _, secs = build(args.tree, args.jobs, args.targets, None)
    print(out[-3000:])
    print(f"build rc={rc} in {secs:.0f}s")
    return rc


def cmd_list(args):
    _, mutants = generate(args.tree, args.file, args.ignore_call)
    order = sample(mutants, args.seed)
    counts = {}
    for m in mutants:
        counts[m["op"]] = counts.get(m["op"], 0) + 1
    print(f"{args.file}: {len(mutants)} candidates " + ", ".join(f"{k}={v}" for k, v in sorted(counts.items())))
    for rank, m in enumerate(order):
        print(f"#{rank:3d} id={m['id']:3d} L{m['line']:<4d} {m['op']:6s} {m['desc']}")
        if args.verbose:
            for l in m["old"]:
                print("     - " + l)
            for l in m["new"]:
                print("     + " + l)
    return 0


def restore_if_left(tree, out, relpath):
    """A run that was killed may have left a mutant in the tree: put the original back."""
    b = backup_path(out, relpath)
    if os.path.exists(b):
        shutil.copyfile(b, os.path.join(tree, relpath))
        os.unlink(b)
        print(f"restored {relpath} from a backup left by an interrupted run")


def cmd_run(args):
    if args.file.startswith("tests/") or "/tests/" in args.file:
        print("refusing to mutate test code", file=sys.stderr)
        return 2
    os.makedirs(args.out, exist_ok=True)
    restore_if_left(args.tree, args.out, args.file)
    path = os.path.join(args.tree, args.file)
    selection = args.selection
    if not selection:
        print("give a test selection (-R/-L/-E/-LE)", file=sys.stderr)
        return 2
    rc, status, _, _ = sh(["git", "-C", args.tree, "status", "--porcelain", "--", args.file])
    if status.strip():
        print(f"{args.file} differs from the clone's HEAD; refusing to start", file=sys.stderr)
        return 2
    with open(path, "rb") as f:
        original = f.read()
    text, mutants = generate(args.tree, args.file, args.ignore_call)
    order = sample(mutants, args.seed)
    if args.ids:
        wanted = [int(x) for x in args.ids.split(",")]
        order = [m for m in order if m["id"] in wanted]
    log = os.path.join(args.out, slug(args.file) + ".log")
    open(log, "w").close()

    result = {"file": args.file, "selection": selection, "seed": args.seed,
              "timeout": args.timeout, "candidates": len(mutants), "mutants": []}

    # baseline: the unmutated tree builds and every selected test passes
    rc, out, _, bsecs = build(args.tree, args.jobs, args.targets, log)
    if rc != 0:
        print("baseline build failed:\n" + out[-3000:], file=sys.stderr)
        return 1
    base = run_tests(args.tree, selection, args.timeout, args.jobs, args.total_timeout, log,
                     stop_on_failure=False)
    result["baseline"] = {"tests": base["total"], "seconds": base["seconds"], "rc": base["rc"]}
    print(f"[{args.file}] baseline: {base['total']} tests, rc={base['rc']}, {base['seconds']}s",
          flush=True)
    if base["rc"] != 0 or not base["total"]:
        print("baseline tests do not pass:\n" + base["tail"], file=sys.stderr)
        return 1

    with open(backup_path(args.out, args.file), "wb") as f:
        f.write(original)

    def restore(*_):
        with open(path, "wb") as f:
            f.write(original)

    def on_signal(signum, frame):
        restore()
        os.unlink(backup_path(args.out, args.file))
        sys.exit(128 + signum)

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    compiled = 0
    try:
        for m in order:
            if compiled >= args.max_compiled:
                break
            mutated = apply(text, m)
            rec = {k: m[k] for k in ("id", "op", "line", "desc", "old", "new")}
            rec["diff"] = diff_of(args.file, text, mutated)
            with open(path, "w", encoding="utf-8") as f:
                f.write(mutated)
            brc, bout, _, bsecs = build(args.tree, args.jobs, args.targets, log)
            rec["build_seconds"] = round(bsecs, 1)
            if brc != 0:
                rec["status"] = "no-compile"
                err = re.findall(r"error: .*", bout)
                rec["build_error"] = err[0][:200] if err else bout[-200:]
            else:
                compiled += 1
                t = run_tests(args.tree, selection, args.timeout, args.jobs, args.total_timeout, log)
                rec["test_seconds"] = t["seconds"]
                rec["failed_tests"] = t["failed"]
                if t["timeout"]:
                    rec["status"] = "killed"
                    rec["how"] = "timeout"
                elif t["rc"] != 0:
                    rec["status"] = "killed"
                    rec["how"] = "test failure" if t["failed"] else "ctest error"
                    if not t["failed"]:
                        rec["ctest_tail"] = t["tail"][-800:]
                else:
                    rec["status"] = "survived"
                    if args.confirm_all:
                        full = run_tests(args.tree, [], args.timeout, args.jobs, args.total_timeout, log)
                        rec["full_suite"] = ("survived" if full["rc"] == 0 and not full["timeout"]
                                             else "killed: " + ", ".join(full["failed"][:3] or ["ctest error"]))
            restore()
            result["mutants"].append(rec)
            print(f"[{args.file}] L{m['line']:<4d} {m['op']:6s} {m['desc']:<45s} -> {rec['status']}"
                  f" {('(' + ', '.join(rec.get('failed_tests', [])[:2]) + ')') if rec.get('failed_tests') else ''}"
                  f" build {rec['build_seconds']}s test {rec.get('test_seconds', '-')}s", flush=True)
            save(args, result)
    finally:
        restore()
        os.unlink(backup_path(args.out, args.file))
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
        signal.signal(signal.SIGINT, signal.SIG_DFL)

    with open(path, "rb") as f:
        same = f.read() == original
    rc, status, _, _ = sh(["git", "-C", args.tree, "status", "--porcelain", "--", args.file])
    result["restored_exactly"] = same and not status.strip()
    # the build folder goes back to the unmutated state
    rc, _, _, _ = build(args.tree, args.jobs, args.targets, log)
    result["final_build_rc"] = rc
    save(args, result)
    print(summary_line(result))
    return 0


def tally(result):
    ms = result["mutants"]
    tried = len(ms)
    compiled = sum(1 for m in ms if m["status"] != "no-compile")
    killed = sum(1 for m in ms if m["status"] == "killed")
    survived = sum(1 for m in ms if m["status"] == "survived")
    return tried, compiled, killed, survived


def summary_line(result):
    tried, compiled, killed, survived = tally(result)
    score = f"{100.0 * killed / compiled:.0f}%" if compiled else "-"
    return (f"{result['file']}: tried {tried}, compiled {compiled}, killed {killed}, "
            f"survived {survived}, score {score}")


def save(args, result):
    base = os.path.join(args.out, slug(result["file"]))
    with open(base + ".json", "w") as f:
        json.dump(result, f, indent=1)
    with open(base + ".md", "w") as f:
        f.write(render([result]))


def render(results):
    out = ["| file | tests selected | mutants tried | compiled | killed | survived | score |",
           "|---|---|---|---|---|---|---|"]
    tot = [0, 0, 0, 0]
    for r in results:
        t = tally(r)
        tot = [a + b for a, b in zip(tot, t)]
        score = f"{100.0 * t[2] / t[1]:.0f}%" if t[1] else "-"
        out.append(f"| {r['file']} | {' '.join(r['selection'])} ({r.get('baseline', {}).get('tests')}) "
                   f"| {t[0]} | {t[1]} | {t[2]} | {t[3]} | {score} |")
    score = f"{100.0 * tot[2] / tot[1]:.1f}%" if tot[1] else "-"
    out.append(f"| **all** | | {tot[0]} | {tot[1]} | {tot[2]} | {tot[3]} | **{score}** |")
    out.append("")
    for r in results:
        surv = [m for m in r["mutants"] if m["status"] == "survived"]
        if not surv:
            continue
        out.append(f"### Survivors in {r['file']}")
        for m in surv:
            note = f" (whole suite: {m['full_suite']})" if m.get("full_suite") else ""
            out.append(f"- {r['file']}:{m['line']} [{m['op']}] {m['desc']}{note}")
            out.append("```diff")
            out.append(m["diff"].rstrip())
            out.append("```")
        out.append("")
    return "\n".join(out) + "\n"


def cmd_report(args):
    results = []
    for name in sorted(os.listdir(args.dir)):
        if name.endswith(".json"):
            with open(os.path.join(args.dir, name)) as f:
                results.append(json.load(f))
    print(render(results))
    return 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--tree", default=DEFAULT_TREE)
    p.add_argument("--build-dir", default="build",
                   help="build folder, relative to the tree or absolute (default: build)")
    sub = p.add_subparsers(dest="cmd", required=True)

    s = sub.add_parser("setup")
    s.add_argument("--origin", default=DEFAULT_ORIGIN)
    s.add_argument("--jobs", type=int, default=2)
    s.add_argument("--cmake-arg", action="append", default=[],
                   help="extra configure argument, e.g. -DRCP_SANITIZE=ON (repeatable)")
    s.add_argument("--targets", nargs="*", default=None, help="build only these targets")

    for name in ("list", "run"):
        s = sub.add_parser(name)
        s.add_argument("file")
        s.add_argument("--seed", type=int, default=1)
        s.add_argument("--ignore-call", default=r"(^|::)log$",
                       help="regex of callees whose statements are left alone (default: logging)")
        if name == "list":
            s.add_argument("-v", "--verbose", action="store_true")
        else:
            s.add_argument("-R", dest="sel", action="append", type=lambda v: ["-R", v], default=[])
            s.add_argument("-E", dest="sel", action="append", type=lambda v: ["-E", v])
            s.add_argument("-L", dest="sel", action="append", type=lambda v: ["-L", v])
            s.add_argument("-LE", dest="sel", action="append", type=lambda v: ["-LE", v])
            s.add_argument("--max-compiled", type=int, default=16)
            s.add_argument("--timeout", type=int, default=120, help="per test, seconds")
            s.add_argument("--total-timeout", type=int, default=1800,
                           help="whole ctest run, seconds (exceeding it counts as killed)")
            s.add_argument("--jobs", type=int, default=2)
            s.add_argument("--targets", nargs="*", default=None,
                           help="build only these targets (default: everything)")
            s.add_argument("--out", default=DEFAULT_OUT)
            s.add_argument("--confirm-all", action="store_true",
                           help="run every survivor against the whole suite as well")
            s.add_argument("--ids", default=None,
                           help="run only these mutant ids (comma-separated, as `list` shows them)")

    s = sub.add_parser("report")
    s.add_argument("dir", nargs="?", default=DEFAULT_OUT)

    args = p.parse_args()
    global BUILD_DIR
    BUILD_DIR = args.build_dir
    if args.cmd == "run":
        args.selection = [x for pair in (args.sel or []) for x in pair]
    return {"setup": cmd_setup, "list": cmd_list, "run": cmd_run, "report": cmd_report}[args.cmd](args)


if __name__ == "__main__":
    sys.exit(main())
