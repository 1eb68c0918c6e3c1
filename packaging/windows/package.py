#!/usr/bin/env python3
"""Packs the Windows program folder two ways: the installer (makensis on trawlmeter-setup.nsi)
and a portable zip with every file under a top folder Trawlmeter/.

Every file of the folder goes in, whatever programs the build laid there. A folder that a run has
used (its lock, its work folder, a write-ahead log, records in the database) is refused: its
rezOve.mdb is no longer the empty one to deliver. The zip is reproducible: the same files give the
same bytes (sorted names, one fixed time, fixed attributes). Nothing is redone when the files, the
scripts and the arguments are those of the last packing.
"""
import argparse
import hashlib
import os
import sqlite3
import subprocess
import sys
import tempfile
import time
import zipfile
from contextlib import closing
from pathlib import Path

DATABASE = "rezOve.mdb"
# What a run leaves beside the program.
RUN_LEFTOVERS = ("temp", "trawlmeter.lock", "report.html", DATABASE + "-wal", DATABASE + "-shm",
                 DATABASE + "-journal")
ZIP_TOP = "Trawlmeter"


class PackingError(Exception):
    pass


def program_files(folder: Path) -> list[str]:
    if not folder.is_dir():
        raise PackingError(f"{folder} is not a folder: build the programs first")
    names = sorted(entry.name for entry in folder.iterdir())
    used = [name for name in names if name in RUN_LEFTOVERS]
    if used:
        raise PackingError(f"{folder} has been run in ({', '.join(used)}): its {DATABASE} is not "
                           "the one to deliver; remove the folder and build again")
    for name in names:
        if not (folder / name).is_file() or (folder / name).is_symlink():
            raise PackingError(f"{folder / name} is not a plain file: the program folder holds "
                               "files only")
    if DATABASE not in names:
        raise PackingError(f"{folder} has no {DATABASE}")
    return names


def require_empty_database(path: Path) -> None:
    try:
        with closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True)) as db:
            tables = [row[0] for row in db.execute(
                "SELECT name FROM sqlite_schema WHERE type = 'table'")]
            filled = [table for table in tables
                      if db.execute(f'SELECT EXISTS (SELECT 1 FROM "{table}")').fetchone()[0]]
    except sqlite3.Error as error:
        raise PackingError(f"{path} cannot be read as a visit database: {error}") from error
    if not tables:
        raise PackingError(f"{path} has no tables: not a visit database")
    if filled:
        raise PackingError(f"{path} holds records (in {', '.join(filled)}): only an empty "
                           "database is delivered; remove it and build again")


def nsis_list(names: list[str], kept: set[str], folder: Path) -> str:
    def quoted(name: str) -> str:
        if '"' in name or "$" in name:
            raise PackingError(f"{name}: a file name NSIS would read otherwise")
        return f'"{name}"'

    installed = [f"    !insertmacro {'InstallKeptFile' if name in kept else 'InstallFile'} "
                 f"{quoted(name)}" for name in names]
    # The database stays with its records; everything else the installer put there goes.
    removed = [f"    !insertmacro RemoveFile {quoted(name)}" for name in names if name != DATABASE]
    programs = [f"    !insertmacro ${{DO}} {quoted(name)}" for name in names
                if name.lower().endswith(".exe")]
    size_kb = (sum((folder / name).stat().st_size for name in names) + 1023) // 1024
    return "\n".join(["; Made by package.py from the program folder.",
                      "!macro TRAWLMETER_INSTALL_FILES", *installed, "!macroend",
                      "!macro TRAWLMETER_UNINSTALL_FILES", *removed, "!macroend",
                      "!macro TRAWLMETER_PROGRAMS DO", *programs, "!macroend",
                      f"!define TRAWLMETER_SIZE_KB {size_kb}", ""])


def make_installer(args, names: list[str], work: Path) -> None:
    files_nsh = work / "program-files.nsh"
    files_nsh.write_text(nsis_list(names, set(args.keep), args.program_dir), encoding="utf-8")
    partial = args.installer.with_name(args.installer.name + ".partial")
    # NSIS reads the files by their names relative to the program folder, its working folder.
    command = [args.makensis, "-V2", "-WX", "-NOCD", f"-DVERSION={args.version}",
               f"-DFILES_NSH={files_nsh}", f"-DOUTFILE={partial}", str(args.script.resolve())]
    result = subprocess.run(command, cwd=args.program_dir, capture_output=True, text=True)
    if result.returncode != 0:
        partial.unlink(missing_ok=True)
        raise PackingError(f"makensis failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    partial.replace(args.installer)


def zip_time() -> tuple[int, int, int, int, int, int]:
    # The build's time when it names one, else that of the last commit, so a rebuild of the same
    # source gives the same zip.
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        commit = subprocess.run(["git", "-C", str(Path(__file__).parent), "log", "-1",
                                 "--format=%ct"], capture_output=True, text=True)
        epoch = commit.stdout.strip() if commit.returncode == 0 else ""
    stamp = time.gmtime(int(epoch)) if epoch.isdigit() else time.gmtime(0)
    # A zip holds no time before 1980.
    return max(tuple(stamp[:6]), (1980, 1, 1, 0, 0, 0))


def make_zip(args, names: list[str]) -> None:
    stamp = zip_time()
    partial = args.zip.with_name(args.zip.name + ".partial")

    def entry(name: str, attributes: int) -> zipfile.ZipInfo:
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.create_system = 0  # attributes as Windows reads them
        info.external_attr = attributes
        info.compress_type = zipfile.ZIP_DEFLATED
        return info

    with zipfile.ZipFile(partial, "w") as archive:
        archive.writestr(entry(ZIP_TOP + "/", 0x10), b"")
        for name in names:
            data = (args.program_dir / name).read_bytes()
            archive.writestr(entry(f"{ZIP_TOP}/{name}", 0x20), data, compresslevel=9)
    partial.replace(args.zip)


def fingerprint(args, names: list[str]) -> str:
    digest = hashlib.sha256()
    for part in (Path(__file__), args.script):
        digest.update(part.read_bytes())
    digest.update(repr((args.version, sorted(args.keep), zip_time(), str(args.installer),
                        str(args.zip))).encode())
    for name in names:
        digest.update(name.encode() + b"\0")
        digest.update(hashlib.sha256((args.program_dir / name).read_bytes()).digest())
    return digest.hexdigest()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program-dir", type=Path, required=True)
    parser.add_argument("--script", type=Path, required=True, help="the NSIS script")
    parser.add_argument("--makensis", default="makensis")
    parser.add_argument("--version", required=True, help="as the installer shows it: 1.00")
    parser.add_argument("--keep", action="append", default=[],
                        help="a file installed only where none is (repeatable)")
    parser.add_argument("--installer", type=Path, required=True)
    parser.add_argument("--zip", type=Path, required=True)
    args = parser.parse_args()
    args.program_dir = args.program_dir.resolve()
    try:
        names = program_files(args.program_dir)
        require_empty_database(args.program_dir / DATABASE)
        stamp_file = args.installer.with_name(".packages-stamp")
        current = fingerprint(args, names)
        if (args.installer.exists() and args.zip.exists() and stamp_file.exists()
                and stamp_file.read_text() == current):
            return 0
        stamp_file.unlink(missing_ok=True)
        with tempfile.TemporaryDirectory() as work:
            make_installer(args, names, Path(work))
        make_zip(args, names)
        stamp_file.write_text(current)
    except (PackingError, OSError) as error:
        print(f"package: {error}", file=sys.stderr)
        return 1
    print(f"package: {args.installer.name} and {args.zip.name} hold {', '.join(names)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
