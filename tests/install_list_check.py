#!/usr/bin/env python3
"""Every program the scripts, tests and build run comes from a package scripts/install-deps.sh
installs (or one of its direct dependencies, or an essential one); a program not installed here
cannot be checked. usage: install_list_check.py SOURCE_DIR [INSTALL_SCRIPT]"""
import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

# After these (and after a function of the scripts, which often wraps a program), the next word
# is a command too.
WRAPPERS = set("exec command env timeout nice nohup setpriv xargs sudo xvfb-run dbus-run-session "
               "stdbuf time ! if then else elif do while until".split())
SPAWNED = re.compile(r"""(?:\bspawn|\bspawnSync|\bexecFile|\bexecFileSync|subprocess\.\w+|"""
                     r"""\bPopen|shutil\.which)\(\s*\[?\s*(?:[\w.]+\s*\|\|\s*)?(["'])([\w.+-]+)\1""")


def shell_text(text):
    """The text without line continuations and here-documents (data or another language)."""
    lines, end = [], None
    for line in text.replace("\\\n", " ").split("\n"):
        if end is None:
            lines.append(line)
            match = re.search(r"<<-?\s*['\"]?(\w+)['\"]?", line)
            end = match and match.group(1)
        elif line.strip() == end:
            end = None
    return "\n".join(lines)


def functions_of(text):
    return set(re.findall(r"^\s*(?:function\s+)?([\w-]+)\s*\(\)", text, re.M))


def shell_commands(text, found, wrappers):
    for inner in re.findall(r"\$\(([^()]*)\)|`([^`]*)`", text):
        shell_commands(inner[0] or inner[1], found, wrappers)
    lexer = shlex.shlex(text, posix=True, punctuation_chars=";&|()<>\n")
    lexer.whitespace, lexer.wordchars = " \t\r", lexer.wordchars + "+@%:,"
    try:
        tokens = list(lexer)
    except ValueError:  # an unbalanced quote: the rest of the file is a string
        tokens = []
    expect = True
    for token, after in zip(tokens, tokens[1:] + [""]):
        if re.match(r"^[;&|()<>\n]*[;&|(\n][;&|()<>\n]*$", token):
            expect = True
        elif expect and not re.match(r"^(\w+=|-|[\d.]+s?$)", token) and after != ")":
            found.add(token)
            expect = token in wrappers


def programs_called(source):
    scripts = {p: shell_text(p.read_text(errors="replace"))
               for g in ["scripts/*.sh", "tests/**/*.sh", "bench/*.sh"] for p in source.glob(g)}
    # A sourced script's functions are everyone's; the others', their own script's.
    sourced = set(re.findall(r"(?:source|\.)\s+\S*?([\w.-]+\.sh)\b", "\n".join(scripts.values())))
    shared = set().union(*(functions_of(t) for p, t in scripts.items() if p.name in sourced))
    every = set().union(*map(functions_of, scripts.values()))
    found = set()
    for text in scripts.values():
        commands = set()
        shell_commands(text, commands, WRAPPERS | every)
        found |= commands - functions_of(text) - shared
    read = lambda globs: [p.read_text(errors="replace") for g in globs for p in source.glob(g)]
    for text in read(["tests/**/*.py", "tests/**/*.js", "bench/*.js", "scripts/*.py"]):
        found.update(m[1] for m in SPAWNED.findall(text))
    for text in read(["CMakeLists.txt", "CMakePresets.json", "cmake/*.cmake",
                      "tests/**/CMakeLists.txt"]):
        for args in re.findall(r"find_program\s*\(\s*\w+\s+([^)]*)\)", text):
            words = re.split(r"\s(?:PATHS|HINTS|DOC|PATH_SUFFIXES|REQUIRED|NO_\w+)\b", args)[0]
            found.update(set(words.split()) - {"NAMES"})
        found.update(re.findall(r"add_test\s*\([^)]*?COMMAND\s+([\w.+-]+)", text))
        found.update(re.findall(r"CMAKE_\w*_COMPILER\W+([\w.+-]+)", text))
        found.update(["ninja"] if re.search(r'"generator":\s*"Ninja"', text) else [])
    builtins = subprocess.run(["bash", "-c", "compgen -b; compgen -k"], capture_output=True,
                              text=True).stdout.split()
    return {name for name in found - set(builtins) if re.match(r"^[\w.+\[-]+$", name)}


def query(command):
    return subprocess.run(command, capture_output=True, text=True).stdout.splitlines()


def main():
    source = Path(sys.argv[1])
    text = Path(sys.argv[2] if sys.argv[2:] else source / "scripts/install-deps.sh").read_text()
    listed = {word.split(":")[0] for body in re.findall(r"^\w*packages=\(([^)]*)\)", text, re.M)
              for word in body.split() if not word.startswith("#")}
    paths = {name: [where, os.path.realpath(where)] for name in programs_called(source)
             if (where := shutil.which(name, path="/usr/sbin:/usr/bin:/sbin:/bin"))}
    # Ask for each path's twin across the merged /usr too.
    twin = lambda p: "/" + p[len("/usr/"):] if p.startswith("/usr/") else p
    asked = {q for pair in paths.values() for p in pair for q in (p, twin(p))}
    held = {}
    for line in query(["dpkg", "-S", *sorted(asked)]):
        packages, _, path = line.partition(": ")
        if "diversion" not in packages:
            held[path] = {p.split(":")[0] for p in packages.split(", ")}
    owner = lambda p: held.get(p, set()) | held.get(twin(p), set())
    # The package of the path the program is called by, else of the file it leads to (a link the
    # alternatives system made).
    providers = {name: owner(pair[0]) or owner(pair[1]) for name, pair in paths.items()}
    fields = lambda field, names: [line.split("\t", 1) for line in query(
        ["dpkg-query", "-W", "-f", "${Package}\t${" + field + "}\n", *names]) if "\t" in line]
    everything = set().union(*providers.values())
    ok = set(listed) | {p for p, v in fields("Essential} ${Priority", everything)
                        if v.split()[0] == "yes" or v.split()[-1] == "required"}
    for _, depends in fields("Pre-Depends}, ${Depends", listed):
        ok.update(re.findall(r"(?:^|[,|]\s*)([\w.+-]+)", depends))
    missing = [f"{name}: {paths[name][0]} is in no Debian package" if not packages else
               f"{name}: package {' or '.join(sorted(packages))} is not installed by "
               "scripts/install-deps.sh"
               for name, packages in sorted(providers.items()) if not packages & ok]
    print("\n".join(missing + [f"{len(providers)} programs checked, {len(missing)} missing"]))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
