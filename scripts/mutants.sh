#!/bin/bash
# Mutation testing on a sample: seeds one fault at a time into the product
# code (the library's base, codec, format, commands, os and api layers, and the
# front end's front, archiver, command, walk, pathtext and platform/posix),
# rebuilds and runs the tests, and counts the faults the tests catch.
#
#   scripts/mutants.sh [--seed S] [--count N]    sample N sites (default 1, 40)
#   scripts/mutants.sh --list FILE               replay the mutants of an earlier result
#   other options:
#     --source DIR   the tree to test (default: this checkout); never modified
#     --work DIR     its copy, build tree and logs (default /tmp/tavo-mutants)
#     --out FILE     the result (default WORK/mutants.txt)
#     --tests ARGS   ctest's selection (default "-E 'wine|package'": Wine and
#                    package tests are too slow to run once per mutant)
#     --timeout S    ctest's limit for a test without one of its own (default 60)
#     --cmake ARGS   the build tree's configuration (default "-DCMAKE_BUILD_TYPE=Release")
#
# Operators: relational (< and <=, > and >=, == and != swapped), logical
# (&& ||), arithmetic (+ -, += -=, ++ --), constant (a literal n to n+1 or
# n-1), boolean (true false), negate-if (if (c) to if (!(c))), delete-call
# (a call that is a whole statement on one line) and return-default
# (return X; to return {};). Sampling is uniform over the sites.
#
# Mutation sites are found in the product code alone, so two trees whose
# product code is the same get the same sample from the same seed, and a
# result file replays on another tree (--list): a mutant is known by its
# file, line, operator and the line's text before and after, and one whose
# line no longer reads the same is reported as moved. Each mutant is written
# into a copy of the source, built incrementally in one reused tree (through
# ccache when installed, with Ninja when installed; only the targets the
# selected tests run), and the file is restored afterwards. Outcomes:
# killed (a test failed or timed out), survived, uncompilable, unchanged
# (every object file came out identical: nothing any test could see, such
# as code of the other platform) and moved; only killed and survived count
# for the suite. The first tests that failed are named beside each killed
# mutant, and every build's and test run's output is kept in WORK/logs.
# Python does the parsing; the operators are read from the text, not from a
# syntax tree, so some sites do not compile, which is counted, not charged.
# Installs what the build needs when missing (Debian, as root).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/ensure-tools.sh"
ensure_tools native
exec python3 - "$root" "$@" <<'PYTHON'
import argparse
import hashlib
import json
import os
import random
import re
import shlex
import shutil
import subprocess
import sys
import time

PRODUCT_DIRS = ["unlha32/base", "unlha32/codec", "unlha32/format", "unlha32/commands", "unlha32/os", "unlha32/api",
                "front", "archiver", "usage", "command", "walk", "pathtext", "platform/posix"]
OUTCOMES = ["killed", "survived", "uncompilable", "unchanged", "moved"]

root = sys.argv[1]
parser = argparse.ArgumentParser(prog="scripts/mutants.sh")
parser.add_argument("--seed", type=int, default=1)
parser.add_argument("--count", type=int, default=40)
parser.add_argument("--list")
parser.add_argument("--source", default=root)
parser.add_argument("--work", default="/tmp/tavo-mutants")
parser.add_argument("--out")
parser.add_argument("--tests", default="-E 'wine|package'")
parser.add_argument("--timeout", type=int, default=60)
parser.add_argument("--cmake", default="-DCMAKE_BUILD_TYPE=Release")
options = parser.parse_args(sys.argv[2:])
source = os.path.abspath(options.source)
work = os.path.abspath(options.work)
copy = os.path.join(work, "src")
build = os.path.join(work, "build")
logs = os.path.join(work, "logs")
out_path = os.path.abspath(options.out or os.path.join(work, "mutants.txt"))
selection = shlex.split(options.tests)


def say(text):
    print(text, flush=True)


# ---- Reading C++ lines -------------------------------------------------------

def masked_lines(lines):
    """Each line with comments and the insides of string and character
    literals blanked, at the same columns, so operators are only looked for
    in code."""
    masked = []
    in_comment = False
    for line in lines:
        out = []
        i, n = 0, len(line)
        while i < n:
            if in_comment:
                end = line.find("*/", i)
                stop = n if end < 0 else end + 2
                out.append(" " * (stop - i))
                in_comment = end < 0
                i = stop
            elif line.startswith("//", i):
                out.append(" " * (n - i))
                i = n
            elif line.startswith("/*", i):
                out.append("  ")
                in_comment = True
                i += 2
            elif line[i] in "\"'":
                quote, j = line[i], i + 1
                while j < n and line[j] != quote:
                    j += 2 if line[j] == "\\" else 1
                if j >= n:
                    out.append(" " * (n - i))
                    i = n
                else:
                    out.append(quote + " " * (j - i - 1) + quote)
                    i = j + 1
            else:
                out.append(line[i])
                i += 1
        masked.append("".join(out))
    return masked


def windows_only(directive, argument):
    """Whether an #if-family condition holds on Linux, when it only asks for
    _WIN32: True, False, or None for anything else."""
    argument = argument.strip()
    if directive == "ifdef" or re.fullmatch(r"defined\s*\(?\s*_WIN32\s*\)?", argument):
        return False if re.fullmatch(r"(defined\s*\(?\s*)?_WIN32\s*\)?", argument) else None
    if directive == "ifndef" or re.fullmatch(r"!\s*defined\s*\(?\s*_WIN32\s*\)?", argument):
        return True if re.fullmatch(r"(!\s*defined\s*\(?\s*)?_WIN32\s*\)?", argument) else None
    return None


def compiled_lines(masked):
    """Which lines the Linux build compiles: directives never count, nor
    lines under #ifdef _WIN32 (other conditions count as compiled)."""
    result = []
    stack = []  # [enclosing block compiled, a branch of this block surely taken]
    compiled = True
    continued = False
    for text in masked:
        directive = re.match(r"\s*#\s*(\w+)(.*)", text)
        if continued or directive:
            continued = text.rstrip().endswith("\\")
            if directive and not continued:
                name, argument = directive.groups()
                if name in ("if", "ifdef", "ifndef"):
                    holds = windows_only(name, argument)
                    stack.append([compiled, holds is True])
                    compiled = compiled and holds is not False
                elif name == "elif" and stack:
                    compiled = stack[-1][0] and not stack[-1][1]
                elif name == "else" and stack:
                    compiled = stack[-1][0] and not stack[-1][1]
                elif name == "endif" and stack:
                    compiled = stack.pop()[0]
            result.append(False)
            continue
        result.append(compiled)
    return result


def closing_paren(text, start):
    depth = 0
    for i in range(start, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return None


def balanced(text):
    return text.count("(") == text.count(")") and text.count("{") == text.count("}")


# ---- Mutation operators ------------------------------------------------------
# Each yields (operator, start, end, replacement) on one line, from its masked
# text; the replacement goes into the real text at the same columns.

SWAPS = {
    "relational": (r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)",
                   {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}),
    "logical": (r"(?<=\s)(&&|\|\|)(?=\s)", {"&&": "||", "||": "&&"}),
    "arithmetic": (r"(?<=\s)(\+=|-=|\+|-)(?=\s)|(?<![+\-])(\+\+|--)(?![+\-])",
                   {"+": "-", "-": "+", "+=": "-=", "-=": "+=", "++": "--", "--": "++"}),
    "boolean": (r"\b(true|false)\b", {"true": "false", "false": "true"}),
}
CALL_LINE = re.compile(r"(::)?[A-Za-z_]\w*((::|\.|->)~?[A-Za-z_]\w*)*\s*\(.*\)\s*;")
KEYWORDS = {"return", "if", "while", "for", "switch", "sizeof", "static_assert", "throw", "delete",
            "case", "do", "else", "goto", "co_return", "co_await", "new", "alignof", "decltype"}
DEFAULT_RESULTS = {"{}", "false", "0", "nullptr", "\"\"", "std::nullopt"}


def literal_changes(text):
    for match in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.'])", text):
        digits, suffix = match.groups()
        if digits.lower().startswith("0x"):
            value, style = int(digits, 16), ("0X%X" if digits[1] == "X" else "0x%X" if digits[2:].isupper() else "0x%x")
        elif len(digits) > 1 and digits.startswith("0"):
            value, style = int(digits, 8), "0%o"
        else:
            value, style = int(digits), "%d"
        for changed in ([value + 1, value - 1] if value > 0 else [value + 1]):
            yield "constant", match.start(), match.end(), (style % changed) + suffix


def line_mutations(masked, previous_code):
    for operator, (pattern, swaps) in SWAPS.items():
        for match in re.finditer(pattern, masked):
            # "text" + name joins strings, which have no minus
            joins_text = match.group() in ("+", "+=") and (masked[:match.start()].rstrip().endswith('"')
                                                          or masked[match.end():].lstrip().startswith('"'))
            if not joins_text:
                yield operator, match.start(), match.end(), swaps[match.group()]
    yield from literal_changes(masked)
    for match in re.finditer(r"\bif\s*\(", masked):
        open_at = match.end() - 1
        close_at = closing_paren(masked, open_at)
        condition = masked[open_at + 1:close_at] if close_at else ""
        if close_at and ";" not in condition and not re.search(r"[^=!<>]=[^=]", condition):
            yield "negate-if", open_at, close_at + 1, None
    stripped = masked.strip()
    start = len(masked) - len(masked.lstrip())
    call = CALL_LINE.fullmatch(stripped)
    if call and stripped.split("(")[0].strip().split("::")[-1] not in KEYWORDS \
            and re.match(r"\w+", stripped.lstrip(":")).group() not in KEYWORDS \
            and balanced(stripped) and not re.search(r"[^=!<>]=[^=]", stripped) \
            and previous_code.rstrip()[-1:] in (";", "{", "}", ":", ""):
        yield "delete-call", start, len(masked), ""
    returned = re.fullmatch(r"return\s+(.+?)\s*;", stripped)
    if returned and balanced(stripped) and returned.group(1) not in DEFAULT_RESULTS:
        yield "return-default", start, len(masked), "return {};"


def mutations_of(path):
    """Every mutant of one product file, in line and column order."""
    with open(os.path.join(copy, path), encoding="utf-8", errors="surrogateescape") as f:
        lines = f.read().split("\n")
    masked = masked_lines(lines)
    compiled = compiled_lines(masked)
    previous_code = ""
    for number, (line, text, live) in enumerate(zip(lines, masked, compiled), start=1):
        if live and "static_assert" not in text:
            for operator, start, end, replacement in sorted(line_mutations(text, previous_code),
                                                           key=lambda m: (m[1], m[0], m[3] or "")):
                if replacement is None:  # negate-if: keep the real condition's text
                    inner = line[start + 1:end - 1]
                    replacement = "(!(" + inner + "))"
                after = line[:start] + replacement + line[end:]
                yield {"file": path, "line": number, "column": start, "operator": operator,
                       "before": line.strip(), "after": after.strip()}
        if text.strip() and not text.lstrip().startswith("#"):
            previous_code = text
        elif text.lstrip().startswith("#"):
            previous_code = ";"


def product_files():
    found = []
    for folder in PRODUCT_DIRS:
        for directory, _, names in os.walk(os.path.join(copy, folder)):
            found += [os.path.relpath(os.path.join(directory, name), copy) for name in names
                      if name.endswith((".cpp", ".h"))]
    return sorted(found)


# ---- The result file ---------------------------------------------------------
# One mutant a line, tab-separated: outcome, file:line, operator, the line's
# text before and after (tabs and backslashes escaped), a note.

def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t")


def unescape(text):
    return re.sub(r"\\(.)", lambda m: "\t" if m.group(1) == "t" else m.group(1), text)


def read_list(path):
    mutants = []
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for row in f:
            if row.startswith("#") or not row.strip():
                continue
            fields = row.rstrip("\n").split("\t")
            place, line = fields[1].rsplit(":", 1)
            mutants.append({"file": place, "line": int(line), "operator": fields[2],
                            "before": unescape(fields[3]), "after": unescape(fields[4]), "earlier": fields[0]})
    return mutants


def summary(mutants):
    counts = {outcome: sum(m.get("outcome") == outcome for m in mutants) for outcome in OUTCOMES}
    judged = counts["killed"] + counts["survived"]
    score = f"{100 * counts['killed'] / judged:.1f}%" if judged else "-"
    return (f"killed {counts['killed']}, survived {counts['survived']}, uncompilable {counts['uncompilable']}, "
            f"unchanged {counts['unchanged']}, moved {counts['moved']}, total {len(mutants)}; "
            f"score {score} (killed of killed + survived)")


def write_list(mutants, header):
    with open(out_path + ".part", "w", encoding="utf-8", errors="surrogateescape") as f:
        for line in header:
            f.write(f"# {line}\n")
        f.write(f"# {summary(mutants)}\n")
        f.write("# outcome\tfile:line\toperator\tbefore\tafter\tnote\n")
        for m in mutants:
            f.write("\t".join([m.get("outcome", "pending"), f"{m['file']}:{m['line']}", m["operator"],
                               escape(m["before"]), escape(m["after"]), m.get("note", "")]) + "\n")
    os.replace(out_path + ".part", out_path)


# ---- The source copy and the build tree --------------------------------------

def source_files():
    """The files of the tree to test: git's view of it (tracked and untracked
    but not ignored) in a checkout, else everything but build trees."""
    listed = subprocess.run(["git", "-C", source, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            capture_output=True)
    if listed.returncode == 0:
        return [name for name in listed.stdout.decode("utf-8", "surrogateescape").split("\0")
                if name and os.path.isfile(os.path.join(source, name))]
    files = []
    for directory, folders, names in os.walk(source):
        folders[:] = [d for d in folders if not d.startswith(("build", ".git"))]
        files += [os.path.relpath(os.path.join(directory, name), source) for name in names]
    return files


def sync_copy():
    """Brings the copy up to the source, touching only files that differ, so
    the build tree stays valid; a file left mutated by an interrupted run is
    put back too. ../shared beside the copy is the source's, for the tests
    that read the foreign samples."""
    wanted = set(source_files())
    for directory, _, names in os.walk(copy, topdown=False):
        for name in names:
            path = os.path.join(directory, name)
            if os.path.relpath(path, copy) not in wanted:
                os.remove(path)
    for name in wanted:
        src, dst = os.path.join(source, name), os.path.join(copy, name)
        if os.path.exists(dst) and os.path.getsize(src) == os.path.getsize(dst):
            with open(src, "rb") as a, open(dst, "rb") as b:
                if a.read() == b.read():
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copy2(src, dst)
        os.utime(dst)
    shared = os.path.join(work, "shared")
    if os.path.lexists(shared):
        os.remove(shared)
    if os.path.isdir(os.path.join(source, "..", "shared")):
        os.symlink(os.path.realpath(os.path.join(source, "..", "shared")), shared)


def run(command, log, **kwargs):
    with open(log, "w") as f:
        return subprocess.run(command, stdout=f, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, **kwargs)


def configure():
    os.makedirs(os.path.join(build, ".cmake/api/v1/query"), exist_ok=True)
    open(os.path.join(build, ".cmake/api/v1/query/codemodel-v2"), "w").close()
    command = ["cmake", "-S", copy, "-B", build] + shlex.split(options.cmake)
    if shutil.which("ninja") and not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        command += ["-G", "Ninja"]
    if shutil.which("ccache"):
        command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    if run(command, os.path.join(logs, "configure.log")).returncode != 0:
        sys.exit(f"configuring failed: see {logs}/configure.log")


def artifacts():
    """What each target of the build tree makes, from CMake's file API."""
    reply = os.path.join(build, ".cmake/api/v1/reply")
    index = json.load(open(os.path.join(reply, max(n for n in os.listdir(reply) if n.startswith("index-")))))
    model = next(o for o in index["objects"] if o["kind"] == "codemodel")
    model = json.load(open(os.path.join(reply, model["jsonFile"])))
    made = {}
    for target in model["configurations"][0]["targets"]:
        detail = json.load(open(os.path.join(reply, target["jsonFile"])))
        for artifact in detail.get("artifacts", []):
            made[shared_library_link(os.path.join(build, artifact["path"]))] = target["name"]
    return made


def shared_library_link(path):
    return re.sub(r"\.so(\.\d+)*$", ".so", path)


def test_targets():
    """The targets the selected tests run: the program of each test
    (GoogleTest programs not built yet stand as NAME_NOT_BUILT), and every
    target whose product a test's command line names. A test given the
    whole build tree needs all of it; the Windows build is one external
    project, tavo_windows, whose products lie under windows/."""
    shown = subprocess.run(["ctest", "--show-only=json-v1"] + selection, cwd=build, capture_output=True, text=True)
    tests = json.loads(shown.stdout)["tests"]
    declared = {}
    for directory, _, names in os.walk(build):
        if "CTestTestfile.cmake" in names:
            for row in open(os.path.join(directory, "CTestTestfile.cmake")):
                match = re.match(r"add_test\(\[=\[(.*?)\]=\]\s*(.*)\)\s*$", row)
                if match:
                    declared[match.group(1)] = re.findall(r'"([^"]*)"', match.group(2))
    made = artifacts()
    targets = set()
    for test in tests:
        if test["name"].endswith("_NOT_BUILT"):
            targets.add(test["name"][:-len("_NOT_BUILT")])
            continue
        for word in test.get("command") or declared.get(test["name"], []):
            for path in word.split("="):
                path = os.path.normpath(path) if path.startswith("/") else ""
                if path == build:
                    return ["all"], tests
                if path.startswith(os.path.join(build, "windows") + "/"):
                    targets.add("tavo_windows")
                elif shared_library_link(path) in made:
                    targets.add(made[shared_library_link(path)])
    return sorted(targets), tests


def build_targets(targets, log):
    return run(["cmake", "--build", build, "-j2", "--target"] + targets, log, env=build_env)


def object_files():
    found = {}
    for directory, _, names in os.walk(build):
        for name in names:
            if name.endswith((".o", ".obj")):
                path = os.path.join(directory, name)
                found[path] = os.stat(path).st_mtime_ns
    return found


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()


def run_tests(log, limit):
    """ctest over the selection, stopping at the first failure; the whole run
    is bounded too, since tests with a TIMEOUT of their own ignore --timeout.
    Returns (passed, the failed tests' names)."""
    command = ["timeout", "-k", "10", str(limit), "ctest", "-j2", "--timeout", str(options.timeout),
               "--stop-on-failure", "--output-on-failure"] + selection
    result = run(command, log, cwd=build)
    if result.returncode == 124 or result.returncode == 137:
        return False, ["(the whole run timed out)"]
    text = open(log, errors="replace").read()
    failed = re.findall(r"^\s*\d+ - (\S+)", text.split("The following tests FAILED:")[-1], re.M) \
        if "The following tests FAILED:" in text else []
    if result.returncode != 0 and not failed:
        failed = ["(ctest failed: see the log)"]
    return result.returncode == 0, failed


# ---- The run -----------------------------------------------------------------

os.makedirs(logs, exist_ok=True)
os.makedirs(copy, exist_ok=True)
build_env = dict(os.environ, CCACHE_DIR=os.path.join(work, "ccache"))
started = time.time()
sync_copy()
configure()

if options.list:
    mutants = read_list(options.list)
    origin = f"replaying {len(mutants)} mutants of {os.path.abspath(options.list)}"
else:
    # A site is one place of one operator; where it has two mutants (n+1
    # and n-1) the seed picks one, so no operator weighs double.
    sites = {}
    for path in product_files():
        for m in mutations_of(path):
            sites.setdefault((m["file"], m["line"], m["operator"], m.pop("column")), []).append(m)
    chooser = random.Random(options.seed)
    mutants = [chooser.choice(sites[key]) for key in chooser.sample(sorted(sites), min(options.count, len(sites)))]
    mutants.sort(key=lambda m: (m["file"], m["line"], m["operator"], m["after"]))
    origin = f"seed {options.seed}, {len(mutants)} of {len(sites)} mutation sites"
header = [f"mutants of {source} ({origin})", f"tests: ctest {options.tests}, --timeout {options.timeout}; "
          f"build: {options.cmake}"]
say(header[0])

targets, _ = test_targets()
if build_targets(targets, os.path.join(logs, "bootstrap.log")).returncode != 0:
    sys.exit(f"the unmutated tree does not build: see {logs}/bootstrap.log")
targets, tests = test_targets()
say(f"{len(tests)} tests; building {' '.join(targets)}")
if build_targets(targets, os.path.join(logs, "baseline-build.log")).returncode != 0:
    sys.exit(f"the unmutated tree does not build: see {logs}/baseline-build.log")
baseline_objects = {path: digest(path) for path in object_files()}
clean_started = time.time()
passed, failed = run_tests(os.path.join(logs, "baseline-tests.log"), 3600)
baseline_seconds = time.time() - clean_started
if not passed:
    sys.exit(f"the tests fail without any mutant ({', '.join(failed)}): see {logs}/baseline-tests.log")
limit = int(3 * baseline_seconds + 60)
say(f"the unmutated tree passes in {baseline_seconds:.0f} s; a mutant's test run may take {limit} s")

build_seconds = test_seconds = 0.0
timed = 0
for number, mutant in enumerate(mutants, start=1):
    path = os.path.join(copy, mutant["file"])
    log = os.path.join(logs, f"mutant-{number:03d}")
    mutant_started = time.time()
    with open(path, encoding="utf-8", errors="surrogateescape", newline="") as f:
        original = f.read()
    lines = original.split("\n")
    index = mutant["line"] - 1
    if index >= len(lines) or lines[index].strip() != mutant["before"]:
        mutant["outcome"], mutant["note"] = "moved", "the line reads differently here"
    else:
        indent = lines[index][:len(lines[index]) - len(lines[index].lstrip())]
        lines[index] = indent + mutant["after"] if mutant["after"] else ""
        with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
            f.write("\n".join(lines))
        before_build = object_files()
        built = build_targets(targets, log + "-build.log")
        with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
            f.write(original)
        build_seconds += time.time() - mutant_started
        if built.returncode != 0:
            listing_failed = "Error running test executable" in open(log + "-build.log", errors="replace").read()
            mutant["outcome"] = "killed" if listing_failed else "uncompilable"
            mutant["note"] = "a test program failed to list its tests" if listing_failed else ""
        else:
            rebuilt = [p for p, mtime in object_files().items() if before_build.get(p) != mtime]
            if all(baseline_objects.get(p) == digest(p) for p in rebuilt):
                mutant["outcome"], mutant["note"] = "unchanged", "object code identical"
            else:
                tests_started = time.time()
                passed, failed = run_tests(log + "-tests.log", limit)
                test_seconds += time.time() - tests_started
                timed += 1
                mutant["outcome"] = "survived" if passed else "killed"
                mutant["note"] = "" if passed else "by " + ", ".join(failed[:3])
    say(f"[{number}/{len(mutants)}] {mutant['outcome']:12} {mutant['file']}:{mutant['line']} {mutant['operator']}: "
        f"{mutant['after'] or '(deleted)'}  ({time.time() - mutant_started:.0f} s)")
    write_list(mutants, header)

# Against a replayed result: the mutants whose verdict changed, the point of
# replaying a list on another suite.
changes = [f"{m['earlier']} there, {m['outcome']} here: {m['file']}:{m['line']} {m['operator']}"
           for m in mutants if m.get("earlier") in ("killed", "survived") and m["outcome"] != m["earlier"]]
if options.list:
    header.append(f"against {options.list}: {len(changes)} verdicts changed" + "".join(f"; {c}" for c in changes))
    say(f"{len(changes)} verdicts differ from {options.list}" + "".join(f"\n  {c}" for c in changes))

elapsed = time.time() - started
ran = sum(m.get("outcome") != "moved" for m in mutants)
timing = (f"{elapsed / 60:.1f} min in all; per mutant {(build_seconds + test_seconds) / max(ran, 1):.0f} s "
          f"(build {build_seconds / max(ran, 1):.0f} s; tests {test_seconds / max(timed, 1):.0f} s a run, "
          f"{timed} runs; unmutated tests {baseline_seconds:.0f} s)")
header.append(timing)
write_list(mutants, header)
say(timing)
say(summary(mutants))
say(f"list: {out_path}")
PYTHON
