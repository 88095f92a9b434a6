#!/usr/bin/env python3
"""Every program the scripts and tests run comes from a package scripts/install-deps.sh installs.

Finds the programs (commands of the shell scripts, what the Python and node scripts spawn, the
CMake test commands, find_program names, compilers and the presets' build program), resolves each on the system's own PATH, asks dpkg
which package holds it and fails naming the program and the package when the install list has
neither that package nor one that depends on it directly. Builtins, functions and the programs
of essential packages need no entry; a program not installed here cannot be checked.

usage: install_list_check.py SOURCE_DIR [INSTALL_SCRIPT]
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

SYSTEM_PATH = "/usr/sbin:/usr/bin:/sbin:/bin"
# Words after which the next word is a command too; the options and numbers between are skipped.
WRAPPERS = {"exec", "command", "env", "timeout", "nice", "nohup", "setpriv", "xargs", "sudo",
            "xvfb-run", "dbus-run-session", "stdbuf", "time", "!", "if", "then", "else", "elif",
            "do", "while", "until"}
SEPARATORS = re.compile(r"^[;&|()<>\n]*[;&|(\n][;&|()<>\n]*$")
SPAWNED = re.compile(r"""(?:\bspawn|\bspawnSync|\bexecFile|\bexecFileSync|subprocess\.\w+|\bPopen|"""
                     r"""shutil\.which)\(\s*\[?\s*(?:[\w.]+\s*\|\|\s*)?(["'])([\w.+-]+)\1""")


def shell_text(text):
    """The text without line continuations and here-documents (data or another language)."""
    text = text.replace("\\\n", " ")
    # Here-documents are data (or another language), not commands.
    lines, end = [], None
    for line in text.split("\n"):
        if end is not None:
            end = None if line.strip() == end else end
            continue
        lines.append(line)
        match = re.search(r"<<-?\s*['\"]?(\w+)['\"]?", line)
        end = match.group(1) if match else None
    return "\n".join(lines)


def functions_of(text):
    return set(re.findall(r"^\s*(?:function\s+)?([\w-]+)\s*\(\)", text, re.M))


# The command words; after a wrapper or a function of the scripts (which often wrap a program:
# `host_as xscreensaver-command`, `start_host xsecurelock`), the next word is one too.
def shell_commands(text, found, wrappers):
    # What $(...) and backquotes run, also inside double quotes.
    for inner in re.findall(r"\$\(([^()]*)\)|`([^`]*)`", text):
        shell_commands(inner[0] or inner[1], found, wrappers)
    lexer = shlex.shlex(text, posix=True, punctuation_chars=";&|()<>\n")
    lexer.whitespace = " \t\r"
    lexer.wordchars += "+@%:,"
    try:
        tokens = list(lexer)
    except ValueError:  # an unbalanced quote: the rest of the file is a string
        tokens = []
    expect = True
    for i, token in enumerate(tokens):
        if SEPARATORS.match(token):
            expect = True
        elif expect:
            if re.match(r"^\w+=", token) or token.startswith("-") or re.match(r"^[\d.]+s?$", token):
                continue
            if i + 1 < len(tokens) and tokens[i + 1] == ")":  # a case pattern
                continue
            found.add(token)
            expect = token in wrappers


def cmake_commands(text, found):
    for args in re.findall(r"find_program\s*\(\s*\w+\s+([^)]*)\)", text):
        for word in args.split():
            if word in {"PATHS", "HINTS", "DOC", "PATH_SUFFIXES", "REQUIRED"} or word.startswith("NO_"):
                break
            if word != "NAMES":
                found.add(word)
    found.update(re.findall(r"add_test\s*\([^)]*?COMMAND\s+([\w.+-]+)", text))
    # The compilers the toolchains and presets name, and the build program of the presets.
    found.update(re.findall(r"CMAKE_\w*_COMPILER\W+([\w.+-]+)", text))
    found.update("ninja" for _ in re.findall(r'"generator":\s*"Ninja"', text))


def programs_called(source):
    patterns = ["scripts/*.sh", "tests/**/*.sh", "bench/*.sh"]
    scripts = {p: shell_text(p.read_text(errors="replace"))
               for pattern in patterns for p in source.glob(pattern)}
    # A sourced script's functions are everyone's; the others', their own script's.
    sourced = set(re.findall(r"(?:source|\.)\s+\S*?([\w.-]+\.sh)\b", "\n".join(scripts.values())))
    shared = set().union(*(functions_of(t) for p, t in scripts.items() if p.name in sourced))
    every = set().union(*(functions_of(t) for t in scripts.values()))
    found = set()
    for text in scripts.values():
        commands = set()
        shell_commands(text, commands, WRAPPERS | every)
        found |= commands - functions_of(text) - shared
    for pattern in ["tests/**/*.py", "tests/**/*.js", "bench/*.js", "scripts/*.py"]:
        for path in source.glob(pattern):
            found.update(m[1] for m in SPAWNED.findall(path.read_text(errors="replace")))
    for pattern in ["CMakeLists.txt", "CMakePresets.json", "cmake/*.cmake", "tests/**/CMakeLists.txt"]:
        for path in source.glob(pattern):
            cmake_commands(path.read_text(errors="replace"), found)
    builtins = set(subprocess.run(["bash", "-c", "compgen -b; compgen -k"], capture_output=True,
                                  text=True).stdout.split())
    return {name for name in found - builtins if re.match(r"^[\w.+\[-]+$", name)}


def install_list(script):
    text = Path(script).read_text()
    names = set()
    for body in re.findall(r"^\w*packages=\(([^)]*)\)", text, re.M):
        names.update(word.split(":")[0] for word in body.split() if not word.startswith("#"))
    return names


def owners(paths):
    """The package of each path (or of its twin across the merged /usr), in one dpkg call."""
    asked = set(paths) | {"/" + p[len("/usr/"):] for p in paths if p.startswith("/usr/")}
    out = subprocess.run(["dpkg", "-S", *sorted(asked)], capture_output=True, text=True).stdout
    held = {}
    for line in out.splitlines():
        packages, _, path = line.partition(": ")
        if "diversion" not in packages:
            held[path] = {p.split(":")[0] for p in packages.split(", ")}
    return {p: held.get(p, set()) | held.get("/" + p[len("/usr/"):], set()) for p in paths}


def query(field, packages):
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package}\t${" + field + "}\n", *packages],
                         capture_output=True, text=True).stdout
    return dict(line.split("\t", 1) for line in out.splitlines() if "\t" in line)


def main():
    source = Path(sys.argv[1])
    listed = install_list(sys.argv[2] if len(sys.argv) > 2 else source / "scripts/install-deps.sh")
    paths = {}
    for name in programs_called(source):
        where = shutil.which(name, path=SYSTEM_PATH)
        if where:
            paths[name] = [where, os.path.realpath(where)]
    held = owners([p for pair in paths.values() for p in pair])
    # The package of the path the program is called by; of the file it leads to when no package
    # holds the path itself (a link the alternatives system made).
    providers = {name: held[pair[0]] or held[pair[1]] for name, pair in paths.items()}
    everything = set().union(*providers.values()) if providers else set()
    # Essential and required packages are on every Debian system.
    essential = {p for p, v in query("Essential} ${Priority", everything).items()
                 if v.split()[0] == "yes" or v.split()[-1] == "required"}
    pulled = set()
    for depends in query("Pre-Depends}, ${Depends", listed).values():
        pulled.update(re.findall(r"(?:^|[,|]\s*)([\w.+-]+)", depends))
    missing = []
    for name, packages in sorted(providers.items()):
        if not packages:
            missing.append(f"{name}: {paths[name][0]} is in no Debian package")
        elif not packages & (listed | essential | pulled):
            missing.append(f"{name}: package {' or '.join(sorted(packages))} is not installed by "
                           "scripts/install-deps.sh")
    for line in missing:
        print(line)
    print(f"{len(providers)} programs checked, {len(missing)} not installed by the list")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
