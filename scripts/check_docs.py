#!/usr/bin/env python3
"""Runs the commands the documentation shows, so that the pages cannot drift from the code.

Pages: README.md and docs/*.md. A fenced block runs when its info string carries the word
`runnable`:

    ```sh runnable            (also console, bash) run with bash -e -o pipefail
    ```python runnable        run with this Python, the build's package on PYTHONPATH

Blocks without the word are shown only (commands that need root, other machines, wine, a long
time or the whole test suite). Each runnable block runs in a fresh temporary directory that
mirrors the repository root: a symbolic link to every top-level entry except build/ and
results/, and build/native pointing at the build tree under test. So `./build/native/tpcsim`,
`examples/...` and `PYTHONPATH=build/native/python` mean what they mean at the repository root,
and the files a command writes (results/, plots) stay in the temporary directory.

Usage: check_docs.py [--build-dir DIR] [--timeout SECONDS] [--list] [PAGE...]
The build tree is --build-dir, else $TPC_BUILD_DIR, else build/native. Exit status 1 names the
page, the line of the block, the exit status and the output of every block that failed.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHELLS = {"sh", "console", "bash"}
FENCE = re.compile(r"^(\s*)(`{3,}|~{3,})\s*(.*)$")
# What a mirror leaves out: the build trees (build/native is linked on its own) and the
# directory that tpcsim's default run and the examples write into.
NOT_MIRRORED = {"build", "results", ".git"}


def blocks_of(path):
    """(line of the opening fence, language, runnable, text) of every fenced block of a page."""
    found = []
    with open(path, encoding="utf-8") as page:
        lines = page.read().split("\n")
    n = 0
    while n < len(lines):
        opening = FENCE.match(lines[n])
        if not opening:
            n += 1
            continue
        indent, fence, info = opening.groups()
        # A backtick fence's info string holds no backtick: such a line is inline code.
        if fence[0] == "`" and "`" in info:
            n += 1
            continue
        words = info.split()
        body = []
        n += 1
        while n < len(lines) and not (lines[n].strip().startswith(fence[0] * len(fence))
                                      and lines[n].strip().strip(fence[0]) == ""):
            body.append(lines[n][len(indent):] if lines[n].startswith(indent) else lines[n])
            n += 1
        start = n - len(body)
        language = words[0] if words else ""
        found.append((start, language, "runnable" in words[1:], "\n".join(body) + "\n"))
        n += 1
    return found


def mirror(build_dir):
    """A temporary directory that looks like the repository root (see the module text)."""
    work = tempfile.mkdtemp(prefix="tpc-docs-")
    for name in os.listdir(ROOT):
        if name not in NOT_MIRRORED:
            os.symlink(os.path.join(ROOT, name), os.path.join(work, name))
    os.makedirs(os.path.join(work, "build"))
    os.symlink(build_dir, os.path.join(work, "build", "native"))
    return work


def run_block(language, text, build_dir, timeout):
    """(exit status or None after the time limit, output, seconds) of one block."""
    work = mirror(build_dir)
    env = dict(os.environ)
    env["PYTHONPATH"] = os.path.join(build_dir, "python")
    # No progress lines or terminal colours in the captured output.
    env.pop("TERM", None)
    if language in SHELLS:
        command = ["bash", "-e", "-o", "pipefail", "-c", text]
    else:
        command = [sys.executable, "-c", text]
    began = time.monotonic()
    # A session of its own, so that a block that runs out of time is ended with every
    # process it started (they would otherwise keep the output pipe open).
    block = subprocess.Popen(command, cwd=work, env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        output, _ = block.communicate(timeout=timeout)
        status = block.returncode
    except subprocess.TimeoutExpired:
        os.killpg(block.pid, signal.SIGKILL)
        output, _ = block.communicate()
        status = None
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return status, output.decode("utf-8", "replace"), time.monotonic() - began


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("pages", nargs="*", help="pages to check (default: README.md and docs/*.md)")
    parser.add_argument("--build-dir", default=os.environ.get("TPC_BUILD_DIR", "build/native"))
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds per block (60)")
    parser.add_argument("--list", action="store_true", help="list the blocks, run nothing")
    args = parser.parse_args()

    pages = args.pages or [os.path.join(ROOT, "README.md")] + sorted(
        os.path.join(ROOT, "docs", name) for name in os.listdir(os.path.join(ROOT, "docs"))
        if name.endswith(".md"))
    build_dir = os.path.abspath(os.path.join(ROOT, args.build_dir) if not os.path.isabs(args.build_dir)
                                else args.build_dir)
    if not args.list and not os.path.isdir(build_dir):
        sys.exit(f"check_docs: no build tree at {build_dir} (give --build-dir or TPC_BUILD_DIR)")

    failures, ran, shown, problems = [], 0, 0, []
    began = time.monotonic()
    for page in pages:
        name = os.path.relpath(page, ROOT)
        for line, language, runnable, text in blocks_of(page):
            if runnable and language not in SHELLS | {"python"}:
                problems.append(f"{name}:{line}: 'runnable' on a {language or 'plain'} block, "
                                "which this check cannot run")
                continue
            if not runnable:
                shown += language in SHELLS | {"python"}
                if args.list and language in SHELLS | {"python"}:
                    print(f"{name}:{line}: {language}, shown only")
                continue
            if args.list:
                print(f"{name}:{line}: {language}, runs")
                continue
            status, output, seconds = run_block(language, text, build_dir, args.timeout)
            ran += 1
            verdict = "ok" if status == 0 else ("timed out" if status is None else f"exit {status}")
            print(f"check_docs: {name}:{line} {language} {verdict} ({seconds:.1f} s)", flush=True)
            if status != 0:
                failures.append(f"{name}:{line}: {verdict} after {seconds:.1f} s\n--- block\n{text}"
                                f"--- output\n{output}")
    for problem in problems:
        print(f"check_docs: {problem}")
    if args.list:
        return 1 if problems else 0
    for failure in failures:
        print(f"\ncheck_docs: FAILED {failure}")
    print(f"check_docs: {ran} blocks run, {len(failures)} failed, {shown} shown only, "
          f"{time.monotonic() - began:.1f} s")
    # A marker misspelt everywhere would leave nothing to check.
    if ran == 0 and not args.pages:
        print("check_docs: no runnable block found")
        return 1
    return 1 if failures or problems else 0


if __name__ == "__main__":
    sys.exit(main())
