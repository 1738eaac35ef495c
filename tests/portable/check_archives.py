#!/usr/bin/env python3
"""Reads every archive the engine tests left in an output folder (<case>/archive.zip beside
<case>/tree and <case>/manifest.txt) with tools other than the engine: unzip -t, 7z t, Java's java.util.zip
and Python's zipfile. Every entry must name a file of the tree by its path below tree/ with "/" between folders,
and hold exactly its bytes; large files are compared piece by piece."""

import hashlib
import os
import shutil
import subprocess
import sys
import zipfile

PIECE = 4 << 20
JAVA_CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "engine", "ZipReadCheck.java")


def tree_files(tree):
    found = {}
    for folder, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, tree).replace(os.sep, "/")] = path
    return found


def file_digest(path):
    digest = hashlib.sha256()
    with open(path, "rb") as stream:
        while piece := stream.read(PIECE):
            digest.update(piece)
    return digest.hexdigest()


def entry_digest(archive, info):
    digest = hashlib.sha256()
    with archive.open(info) as stream:
        while piece := stream.read(PIECE):
            digest.update(piece)
    return digest.hexdigest()


def run_tool(command, problems, label):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        output = done.stdout.decode("utf-8", "replace")[-2000:]
        problems.append(f"{label}: {' '.join(command[:2])} failed ({done.returncode}):\n{output}")


def check_case(folder, problems):
    label = os.path.basename(folder)
    archive_path = os.path.join(folder, "archive.zip")
    with open(os.path.join(folder, "manifest.txt"), encoding="utf-8") as manifest:
        lines = [line.rstrip("\n").split("\t", 1) for line in manifest if line.strip()]
    made_on = next((value for key, value in lines if key == "made-on"), "?")
    label = f"{label} (made on {made_on})"
    listed = sorted(value for key, value in lines if key == "entry")
    files = tree_files(os.path.join(folder, "tree"))
    if sorted(files) != listed:
        problems.append(f"{label}: the tree holds {sorted(files)}, the manifest lists {listed}")

    run_tool(["unzip", "-tqq", archive_path], problems, label)
    if shutil.which("7z"):
        run_tool(["7z", "t", "-bd", archive_path], problems, label)
    if shutil.which("java"):
        run_tool(["java", JAVA_CHECK, archive_path], problems, label)

    with zipfile.ZipFile(archive_path) as archive:
        bad = archive.testzip()
        if bad is not None:
            problems.append(f"{label}: zipfile finds {bad!r} damaged")
        names = sorted(info.filename for info in archive.infolist())
        if names != sorted(files):
            problems.append(f"{label}: entries {names} are not the tree's files {sorted(files)}")
        for info in archive.infolist():
            source = files.get(info.filename)
            if source is None:
                continue
            if info.file_size != os.path.getsize(source):
                problems.append(f"{label}: {info.filename} holds {info.file_size} bytes, "
                                f"its file {os.path.getsize(source)}")
            elif entry_digest(archive, info) != file_digest(source):
                problems.append(f"{label}: {info.filename} holds other bytes than its file")
    return len(files)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else "portable-output"
    cases = sorted(os.path.join(output, name) for name in os.listdir(output)
                   if os.path.isfile(os.path.join(output, name, "manifest.txt")))
    if not cases:
        print(f"no archives in {output}")
        return 1
    problems = []
    for case in cases:
        count = check_case(case, problems)
        print(f"{os.path.basename(case)}: {count} files")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
