#!/usr/bin/env python3
"""The release packages as a Windows user gets them, under Wine.

  package_test.py x64|x86

Makes the packages with scripts/package and checks what they hold; then, in a Wine prefix of its
own (made afresh, Wine's menu builder disabled so that nothing reaches this machine's desktop):

  all users   a silent /ALLUSERS /AUTOSTART install registers the library (a script creates
              the control) and, in the 64-bit prefix, the x86 one in x86\ in the 32-bit
              registry view (a 32-bit script host creates the control), and writes the
              machine's Run value; the samples configure.js and configure.vbs store the
              user's values, which the installed TidewireApp then uses; an upgrade in place
              restarts the running program and keeps the Run value; the silent uninstall
              unregisters both and removes the Run value; an x86 library that cannot be
              registered fails the install and leaves no registration
  per user    a silent install of an older build registers nothing; its TidewireApp shows the
              band; installing this build over it closes the running program, upgrades it in
              place, keeps the user's values and starts the program again; the quiet uninstall
              string removes every file, entry and the Run value and keeps the values
  portable    the zip's TidewireApp runs from a fresh folder with the library unregistered
  clicked     the installer's pages clicked through with the sign-in box ticked write the Run
              value; the uninstaller's, with "Also remove my settings" ticked, remove the
              user's values

and prints what each silent install and uninstall changed in the registry and the file system.

The x64 part runs the installer script built with NSIS's 64-bit stub (wine64 without 32-bit
Wine cannot run the 32-bit release installer); where 32-bit Wine is not installed its checks of
the 32-bit registry view are reported as skipped. The x86 part runs the release installer itself
in a 32-bit prefix, and ends with exit code 77 (skipped) where 32-bit Wine is not installed.
"""

import html.parser
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
RELEASE = ROOT / "build" / "release"
STAGE = ROOT / "build" / "package-stage"
SKIPPED = 77

UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewire"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
MACHINE_RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
VALUES_KEY = r"HKCU\SOFTWARE\QUENMAR\TidewireGadget"
CONTROL_CLSID = "{69720D23-6694-45DC-97B3-E39BB5F41A82}"
CLASS_KEY = rf"HKLM\Software\Classes\CLSID\{CONTROL_CLSID}"
PROGRAM_FILES = ["TidewireApp.exe", "Tidewire.dll", "Tidewire.sxs.manifest", "LICENSE.txt",
                 "README.txt"]
OLDER_VERSION = "0.9.0.0"
# A feed on a closed local port: the band scrolls "Connecting..." and nothing leaves the machine.
LOCAL_FEED = "http://127.0.0.1:9/news.xml"
OTHER_FEED = "http://127.0.0.1:9/other.xml"
PE_MACHINES = {"x86": 0x14C, "x64": 0x8664}


class Failure(Exception):
    pass


failures = []
skipped = []
# Why the x86 programs cannot run here (no 32-bit Wine), or None.
x86_missing = None


def check(condition, what):
    """Records a failed expectation and goes on; the run fails at its end."""
    print(("ok      " if condition else "FAILED  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def skip(what, why):
    """An expectation that cannot be checked here: said so, never counted as passed."""
    print(f"skipped {what}: {why}", flush=True)
    skipped.append(what)


def check_unless(why, condition, what):
    """check(condition(), what), or skip(what, why) where `why` says it cannot run here."""
    return skip(what, why) if why else check(condition(), what)


def require(condition, what):
    """An expectation the rest of the run depends on."""
    if not check(condition, what):
        raise Failure(what)


def section(title):
    print(f"\n== {title}", flush=True)


def run(command, **options):
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          **options)


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Tidewire VERSION ([0-9.]+)", text).group(1)


def pe_machine(data):
    (offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


def section_names(path, objdump):
    listing = run([objdump, "-h", str(path)]).stdout
    return set(re.findall(r"^\s*\d+\s+(\S+)", listing, re.M))


def idl_members():
    """{member: DISPID} of ITidewireGadget and the control's class identifier, from the .idl."""
    idl = (ROOT / "server" / "tidewire.idl").read_text()
    members = {name: int(dispid) for dispid, name in
               re.findall(r"id\((\d+)\)[^\]]*\]\s*HRESULT\s+(\w+)", idl)}
    clsid = re.search(r"uuid\(([0-9A-F-]+)\),\s*helpstring\(\"Tidewire Gadget\"\)", idl).group(1)
    return members, "{" + clsid + "}"


class PageObjects(html.parser.HTMLParser):
    """The class identifiers of a page's <object> elements."""

    def __init__(self):
        super().__init__()
        self.classids = []

    def handle_starttag(self, tag, attrs):
        if tag == "object":
            self.classids.append(dict(attrs).get("classid", ""))


def check_sources(version):
    section("sources: one version, the guide and the samples agree with the interface")
    rc = (ROOT / "resources" / "host" / "tidewire_app.rc").read_text()
    check(version not in rc and "TIDEWIRE_VERSION_NUMBERS" in rc,
          "the program's version resource takes its numbers from the build")
    readme = (ROOT / "README.md").read_text()
    check(f"Tidewire-{version}-setup.exe" in readme and f"Tidewire-{version}-x64.zip" in readme,
          f"README.md names the packages of version {version}")
    members, clsid = idl_members()
    guide = (ROOT / "docs" / "embedding.md").read_text()
    rows = dict(re.findall(r"^\| `(\w+)` \| [^|]+ \| (\d+) \|", guide, re.M))
    check({name: int(dispid) for name, dispid in rows.items()} == members,
          "docs/embedding.md lists every member of ITidewireGadget with its DISPID")
    check(clsid in guide, "docs/embedding.md gives the control's class identifier")
    page = PageObjects()
    page.feed((ROOT / "samples" / "page.html").read_text())
    check(page.classids == ["clsid:" + clsid.strip("{}")],
          "samples/page.html holds the control by its class identifier")
    for sample in ("page.html", "configure.js", "configure.vbs"):
        used = set(re.findall(r"ticker\.(\w+)", (ROOT / "samples" / sample).read_text()))
        check(used and used <= set(members), f"samples/{sample} uses only members of the "
              "interface" + (": not " + ", ".join(sorted(used - set(members)))
                             if used - set(members) else ""))


def make_packages(version):
    section("scripts/package")
    started = time.monotonic()
    made = run([str(ROOT / "scripts" / "package")], cwd=ROOT)
    print(made.stdout + made.stderr, end="")
    require(made.returncode == 0, f"scripts/package makes the artifacts "
            f"({time.monotonic() - started:.0f} s)")
    names = {f"Tidewire-{version}-setup.exe", f"Tidewire-{version}-x86.zip",
             f"Tidewire-{version}-x64.zip", "SHA256SUMS"}
    present = {path.name for path in RELEASE.iterdir() if path.is_file()}
    require(present == names, "build/release holds " + ", ".join(sorted(names)))
    sums = run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=RELEASE)
    listed = [line.split()[1] for line in (RELEASE / "SHA256SUMS").read_text().splitlines()]
    check(sums.returncode == 0 and len(listed) == 7,
          "SHA256SUMS holds the checksums of the three artifacts and the four symbol files")
    setup = (RELEASE / f"Tidewire-{version}-setup.exe").read_bytes()
    check(pe_machine(setup) == PE_MACHINES["x86"],
          "the installer is a 32-bit program (it runs on every Windows)")
    check(version.encode("utf-16-le") in setup, "the installer's version resource names "
          + version)

    for build, triple in (("x86", "i686-w64-mingw32"), ("x64", "x86_64-w64-mingw32")):
        folder = f"Tidewire-{version}-{build}"
        with zipfile.ZipFile(RELEASE / f"{folder}.zip") as archive:
            names = sorted(name for name in archive.namelist() if not name.endswith("/"))
            check(names == sorted(f"{folder}/{name}" for name in PROGRAM_FILES),
                  f"the {build} zip holds {', '.join(PROGRAM_FILES)} in {folder}/")
            program = archive.read(f"{folder}/TidewireApp.exe")
            library = archive.read(f"{folder}/Tidewire.dll")
            readme = archive.read(f"{folder}/README.txt").decode()
            licence = archive.read(f"{folder}/LICENSE.txt").decode()
        check(pe_machine(program) == PE_MACHINES[build] and
              pe_machine(library) == PE_MACHINES[build],
              f"the {build} zip's program and library are {build} binaries")
        check(version.encode("utf-16-le") in program and version.encode("utf-16-le") in library,
              f"the {build} program's and library's version resources name {version}")
        check(readme.startswith(f"Tidewire {version} ({build})") and "\r\n" in readme and
              licence.startswith("MIT License\r\n") and "The Tidewire developers" in licence,
              f"the {build} zip's README and licence are Windows text files")
        objdump = f"{triple}-objdump"
        for name in ("TidewireApp.exe", "Tidewire.dll"):
            stripped = section_names(STAGE / build / name, objdump)
            debug = RELEASE / "symbols" / build / f"{name}.debug"
            kept = section_names(debug, objdump)
            link = subprocess.run([f"{triple}-objcopy", "--dump-section",
                                   ".gnu_debuglink=/dev/stdout", str(STAGE / build / name),
                                   "/dev/null"], capture_output=True).stdout
            check(not any(s.startswith(".debug") for s in stripped) and
                  link.startswith(f"{name}.debug\0".encode()) and
                  ".debug_info" in kept,
                  f"{build} {name}: stripped, its debug information in symbols/{build}/"
                  f"{name}.debug, which its debug link names")


class Wine:
    """A Wine prefix of the test's own, made afresh, with its server kept warm (and ending a
    minute after its last program, should the test itself be ended)."""

    def __init__(self, build, work):
        self.build = build
        self.loader = "/usr/lib/wine/wine" if build == "x86" else "/usr/lib/wine/wine64"
        self.prefix = work / f"wineprefix-{build}"
        self.work = work
        shutil.rmtree(self.prefix, ignore_errors=True)
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix),
                        WINEARCH="win32" if build == "x86" else "win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        LANG="C.UTF-8", LC_ALL="C.UTF-8")
        subprocess.Popen(["setsid", "wineserver", "-p60"], env=self.env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started = time.monotonic()
        self.run(["wineboot", "-i"], timeout=600)
        self.run(["cmd", "/c", "exit"], timeout=600)
        print(f"a fresh prefix in {time.monotonic() - started:.0f} s", flush=True)
        self.local_app_data = self.echo("%LOCALAPPDATA%")
        self.app_data = self.echo("%APPDATA%")
        self.program_files = self.echo("%ProgramFiles%")
        self.common_programs = self.echo("%ProgramData%") + \
            r"\Microsoft\Windows\Start Menu\Programs"

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, args, timeout=180):
        """Runs a program in the prefix; its output goes through a file, since programs that it
        starts may keep a pipe open for as long as they live."""
        with tempfile.TemporaryFile(mode="w+", dir=self.work) as output:
            done = subprocess.run([self.loader, *args], env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=output, stderr=subprocess.STDOUT, timeout=timeout)
            output.seek(0)
            return done.returncode, output.read()

    def echo(self, variable):
        return self.run(["cmd", "/c", "echo", variable])[1].strip()

    def unix(self, path):
        """The file behind a Windows path on drive C: or Z:."""
        if path[:2].upper() == "Z:":
            return pathlib.Path(path[2:].replace("\\", "/"))
        return self.prefix / "drive_c" / path[3:].replace("\\", "/")

    def windows(self, path):
        return "Z:" + str(path).replace("/", "\\")

    def query(self, key, view=None):
        """The values of a registry key as {name: data}, or None when the key does not exist;
        in the 64-bit or 32-bit view when `view` says so."""
        code, text = self.run(["reg", "query", key] + ([f"/reg:{view}"] if view else []))
        if code != 0:
            return None
        values = {}
        for line in text.splitlines():
            parts = re.split(r" {4}", line.strip(), maxsplit=2)
            if line.startswith("    ") and len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) == 3 else ""
        return values

    def value(self, key, name, view=None):
        values = self.query(key, view)
        return None if values is None else values.get(name)

    def binary(self, key, name):
        data = self.value(key, name)
        return None if data is None else bytes.fromhex(data)

    def snapshot(self):
        """The registry (as "[key]" and "[key] name=data" lines) and the files of drive C:."""
        exported = self.work / "registry.reg"
        self.run(["regedit", "/E", self.windows(exported)])
        lines = set()
        key = None
        text = exported.read_text(encoding="utf-16")
        for line in re.sub(r"\\\r?\n\s*", "", text).splitlines():
            if line.startswith("["):
                key = None if registry_noise(line) else line
                if key:
                    lines.add(key)
            elif key and "=" in line:
                lines.add(f"{key} {line}")
        files = set()
        drive = self.prefix / "drive_c"
        for path in drive.rglob("*"):
            relative = path.relative_to(drive).as_posix()
            if not any(relative.startswith(noise) for noise in FILE_NOISE):
                files.add("C:/" + relative + ("/" if path.is_dir() else ""))
        return lines, files


# What Wine changes by itself between two looks: its hardware and services below
# HKLM\System (the Session Manager's pending renames aside, which an uninstaller makes), and the
# network cards it enters once a program uses the network. Wine's own folder is left out.
def registry_noise(key):
    return (key.startswith(r"[HKEY_LOCAL_MACHINE\System" + "\\") and
            r"\Control\Session Manager]" not in key) or r"\CurrentVersion\NetworkCards" in key


FILE_NOISE = ("windows/",)


def print_changes(title, before, after):
    """What changed between two snapshots, as + and - lines."""
    print(f"-- {title}")
    for kind, old, new in (("registry", before[0], after[0]), ("files", before[1], after[1])):
        added = sorted(new - old)
        removed = sorted(old - new)
        print(f"   {kind}: {len(added)} added, {len(removed)} removed")
        for line in added:
            print(f"   + {line}")
        for line in removed:
            print(f"   - {line}")


def changed_lines(before, after):
    return (after[0] - before[0]) | (before[0] - after[0]), \
        (after[1] - before[1]) | (before[1] - after[1])


class Machine:
    """The prefix with the packages' programs in it."""

    def __init__(self, wine, probe, version):
        self.wine = wine
        self.probe = probe
        self.version = version

    def install(self, installer, *switches):
        code, output = self.wine.run([self.wine.windows(installer), "/S", *switches],
                                     timeout=300)
        return code

    def running(self, program):
        """The pid of the TidewireApp from `program` whose band shows, or None."""
        code, output = self.wine.run([self.wine.windows(self.probe), "find", program])
        found = re.search(r"^pid (\d+)", output, re.M)
        return int(found.group(1)) if code == 0 and found else None

    def check_restarted(self, program, old_pid, mode):
        new_pid = self.running(program)
        check(new_pid is not None and new_pid != old_pid,
              f"{mode}: the running program was closed (pid {old_pid}) and started again "
              f"(pid {new_pid}), showing the band")

    def start(self, program):
        code, output = self.wine.run([self.wine.windows(self.probe), "start", program])
        found = re.search(r"^pid (\d+)", output, re.M)
        if code != 0:
            print(output, end="")
        return int(found.group(1)) if code == 0 and found else None

    def close(self, program):
        code, output = self.wine.run([self.wine.windows(self.probe), "close", program])
        if code != 0:
            print(output, end="")
        return code == 0

    def script(self, path, *arguments, host="cscript"):
        return self.wine.run([host, "//nologo", self.wine.windows(path), *arguments])

    def stored(self, host="cscript"):
        """The user's stored values as the control reads them (in the script host `host`)."""
        code, output = self.script(ROOT / "tests" / "package" / "stored_settings.js", host=host)
        return output.strip() if code == 0 else None

    def store(self, feeds, flags, minutes, seconds, speed):
        code, output = self.script(ROOT / "tests" / "package" / "stored_settings.js", "store",
                                   feeds, flags, str(minutes), str(seconds), str(speed))
        return code == 0

    def registered(self, view=None):
        return self.wine.value(CLASS_KEY + r"\InprocServer32", "(Default)", view)

    def libraries(self, folder):
        """What an all-users install registers, as (registry view, library, why it cannot be
        checked here or None): in the 64-bit prefix the x64 library in the 64-bit view and the
        x86 one in x86\\ in the 32-bit view, which only 32-bit Wine can write."""
        if self.wine.build == "x86":
            return [(None, folder + r"\Tidewire.dll", None)]
        return [("64", folder + r"\Tidewire.dll", None),
                ("32", folder + r"\x86\Tidewire.dll", x86_missing)]

    def creatable(self):
        """Whether a script can create the control by its ProgID."""
        return self.stored() is not None

    def check_installed(self, folder, start_menu, root, version, mode):
        # On 64-bit Windows the all-users mode adds the x86 library for 32-bit containers.
        both = root == "HKLM" and self.wine.build == "x64"
        files = sorted(p.name for p in self.wine.unix(folder).iterdir()) \
            if self.wine.unix(folder).is_dir() else []
        check(files == sorted(PROGRAM_FILES + ["uninstall.exe"] + (["x86"] if both else [])),
              f"{mode}: {folder} holds {', '.join(files) or 'nothing'}")
        program = self.wine.unix(folder + r"\TidewireApp.exe")
        check(program.is_file() and pe_machine(program.read_bytes()) ==
              PE_MACHINES[self.wine.build], f"{mode}: the installed program is the "
              f"{self.wine.build} build")
        if both:
            x86 = self.wine.unix(folder + r"\x86")
            check(sorted(p.name for p in x86.iterdir()) == ["Tidewire.dll"] and
                  pe_machine((x86 / "Tidewire.dll").read_bytes()) == PE_MACHINES["x86"],
                  f"{mode}: {folder}\\x86 holds the x86 Tidewire.dll")
        check(self.wine.unix(start_menu + r"\Tidewire.lnk").is_file(),
              f"{mode}: the Start-menu entry {start_menu}\\Tidewire.lnk")
        entry = self.wine.query(rf"{root}\{UNINSTALL_KEY}") or {}
        uninstall = f'"{folder}\\uninstall.exe"'
        expected = {
            "DisplayName": "Tidewire", "DisplayVersion": version, "Publisher": "QUENMAR",
            "DisplayIcon": folder + r"\TidewireApp.exe,0", "InstallLocation": folder,
            "UninstallString": uninstall,
            "QuietUninstallString": uninstall + " /S",
            "NoModify": "0x1", "NoRepair": "0x1"}
        check(all(entry.get(name) == data for name, data in expected.items()) and
              int(entry.get("EstimatedSize", "0"), 16) > 100,
              f"{mode}: the uninstall entry {root}\\...\\Uninstall\\Tidewire: " +
              ", ".join(f"{name}={data}" for name, data in sorted(entry.items())))
        return entry

    def check_removed(self, folder, start_menu, root, mode):
        check(not self.wine.unix(folder).exists(), f"{mode}: the program folder is gone")
        check(not self.wine.unix(start_menu + r"\Tidewire.lnk").exists(),
              f"{mode}: the Start-menu entry is gone")
        check(self.wine.query(rf"{root}\{UNINSTALL_KEY}") is None,
              f"{mode}: the uninstall entry is gone")
        check(all(self.wine.value(key, "Tidewire") is None for key in (RUN_KEY, MACHINE_RUN_KEY)),
              f"{mode}: no Run value is left")
        self.check_registration(folder, mode, installed=False)

    def check_registration(self, folder, mode, installed):
        """Each library of an all-users install registered in its view, or in none."""
        for view, library, why in self.libraries(folder):
            place = f" in the {view}-bit view" if view else ""
            check_unless(why, lambda: self.registered(view) == (library if installed else None),
                         f"{mode}: {library} is registered{place}" if installed else
                         f"{mode}: the library is not registered{place}")


def uninstall_with_quiet_string(machine, entry, folder):
    """Runs the entry's quiet uninstall string as a deployment tool would, and waits until the
    uninstaller (which goes on from a copy of itself in the temporary folder) is done."""
    command = entry["QuietUninstallString"]
    program, _, arguments = command[1:].partition('" ')
    machine.wine.run([program, *arguments.split()])
    end = time.monotonic() + 120
    while machine.wine.unix(folder).exists() and time.monotonic() < end:
        time.sleep(0.5)
    time.sleep(2)


def uninstall_and_wait(machine, folder, *switches):
    """Runs a copy of the uninstaller on the program folder, as the uninstaller itself does, so
    that its exit code tells how it went."""
    copy = machine.wine.work / "uninstall-copy.exe"
    shutil.copy(machine.wine.unix(folder + r"\uninstall.exe"), copy)
    # "_?=" comes last and unquoted, spaces and all.
    code, output = machine.wine.run([machine.wine.windows(copy), "/S", *switches,
                                     *f"_?={folder}".split(" ")], timeout=300)
    return code


def all_users(machine, installer, broken_installer):
    wine = machine.wine
    section("all users: silent install with /AUTOSTART, the control for every container, the "
            "samples")
    folder = wine.program_files + r"\Tidewire"
    program = folder + r"\TidewireApp.exe"
    before = wine.snapshot()
    require(machine.install(installer, "/ALLUSERS", "/AUTOSTART") == 0,
            "the silent /ALLUSERS /AUTOSTART install ends with exit code 0")
    installed = wine.snapshot()
    print_changes("a silent all-users install changed", before, installed)
    entry = machine.check_installed(folder, wine.common_programs, "HKLM", machine.version,
                                    "all users")
    machine.check_registration(folder, "all users", installed=True)
    if wine.build == "x64":
        # A 32-bit container: the script host in SysWOW64 loads only the x86 library. (Wine,
        # unlike Windows, would also serve it the x64 one from a surrogate process when the
        # 32-bit view had no registration: the view is checked above.)
        host = wine.echo("%windir%") + r"\syswow64\cscript.exe"
        check_unless(x86_missing, lambda: machine.stored(host) is not None,
                     "a 32-bit script host creates the control")
    check(wine.value(MACHINE_RUN_KEY, "Tidewire") == f'"{program}"' and
          wine.value(RUN_KEY, "Tidewire") is None,
          "all users: /AUTOSTART writes the machine's Run value, not the installing account's")

    # The samples store the user's values; the user's delay between stories stays.
    check(machine.store(OTHER_FEED, "1", 30, 7, 0),
          "a script creates Tidewire.TidewireGadget and stores the user's values")
    code, output = machine.script(ROOT / "samples" / "configure.js", LOCAL_FEED)
    check(code == 0 and "1 feeds, reloaded every 15 minutes, speed 5" in output,
          f"samples/configure.js runs: {output.strip()}")
    check(machine.stored() == f"{LOCAL_FEED}|1|15|7|5",
          "the user's values are those configure.js set, the delay kept: "
          f"{machine.stored()}")
    machine.store(OTHER_FEED, "1", 30, 0, 0)
    code, output = machine.script(ROOT / "samples" / "configure.vbs", LOCAL_FEED, OTHER_FEED)
    check(code == 0 and "2 feeds, reloaded every 15 minutes, speed 5" in output,
          f"samples/configure.vbs runs: {output.strip()}")
    check(machine.stored() == f"{LOCAL_FEED} URL {OTHER_FEED}|1 URL 1|15|0|5",
          f"the user's values are those configure.vbs set: {machine.stored()}")

    # The next start of the program uses them: it stores them again as it read them.
    stored = wine.binary(VALUES_KEY, "Settings")
    old_pid = machine.start(program)
    check(old_pid is not None,
          "all users: the installed TidewireApp starts from its folder and shows the band")

    section("all users: upgrade in place while the program runs, without /AUTOSTART")
    require(machine.install(installer, "/ALLUSERS") == 0, "the silent all-users upgrade ends "
            "with exit code 0")
    machine.check_restarted(program, old_pid, "all users (started through the shell)")
    check(wine.value(MACHINE_RUN_KEY, "Tidewire") == f'"{program}"',
          "all users: the upgrade keeps the machine's Run value")
    check(machine.close(program), "all users: TidewireApp closes on WM_CLOSE")
    check(wine.binary(VALUES_KEY, "Settings") == stored and
          len(wine.binary(VALUES_KEY, "ClientSettings") or b"") == 20,
          "the program ran with the values the script stored and saved them again, with its "
          "placement")

    section("all users: silent uninstall")
    values = wine.binary(VALUES_KEY, "Settings"), wine.binary(VALUES_KEY, "ClientSettings")
    before_uninstall = wine.snapshot()
    check(uninstall_and_wait(machine, folder) == 0,
          "the silent uninstall ends with exit code 0")
    after = wine.snapshot()
    print_changes("a silent all-users uninstall changed", before_uninstall, after)
    machine.check_removed(folder, wine.common_programs, "HKLM", "all users")
    check(not machine.creatable(), "a script can no longer create the control")
    check((wine.binary(VALUES_KEY, "Settings"), wine.binary(VALUES_KEY, "ClientSettings")) ==
          values, "the user's values are kept")

    section("all users: an x86 library that cannot be registered")
    what = "the install fails with exit code 3 and leaves no registration behind"
    if x86_missing:
        skip(what, x86_missing)
        return entry
    # No spaces: /D= takes no quotes.
    broken = r"C:\BrokenTidewire"
    code = machine.install(broken_installer, "/ALLUSERS", f"/D={broken}")
    check(code == 3 and all(machine.registered(view) is None
                            for view, _, _ in machine.libraries(broken)),
          f"{what} ({code})")
    check(wine.query(rf"HKLM\{UNINSTALL_KEY}") is None, "the failed install writes no uninstall "
          "entry")
    shutil.rmtree(wine.unix(broken), ignore_errors=True)
    return entry


def per_user(machine, installer, older_installer):
    wine = machine.wine
    folder = wine.local_app_data + r"\Programs\Tidewire"
    program = folder + r"\TidewireApp.exe"
    start_menu = wine.app_data + r"\Microsoft\Windows\Start Menu\Programs"

    section(f"per user: silent install of an older build ({OLDER_VERSION})")
    before = wine.snapshot()
    require(machine.install(older_installer) == 0, "the silent per-user install ends with exit "
            "code 0")
    installed = wine.snapshot()
    print_changes("a silent per-user install changed", before, installed)
    machine.check_installed(folder, start_menu, "HKCU", OLDER_VERSION, "per user")
    check(wine.query(rf"HKLM\{UNINSTALL_KEY}") is None, "per user: nothing under HKLM's "
          "uninstall key")
    check(machine.registered() is None and not machine.creatable(),
          "per user: the library is not registered; a script cannot create the control")
    check(wine.value(RUN_KEY, "Tidewire") is None, "per user: no Run value unless asked")
    old_pid = machine.start(program)
    check(old_pid is not None, "per user: the installed TidewireApp starts from its folder and "
          "shows the band")
    values = wine.binary(VALUES_KEY, "Settings")

    section(f"per user: upgrade to {machine.version} while the program runs, with /AUTOSTART")
    require(machine.install(installer, "/AUTOSTART") == 0, "the silent upgrade ends with exit "
            "code 0")
    entry = machine.check_installed(folder, start_menu, "HKCU", machine.version, "upgrade")
    readme = wine.unix(folder + r"\README.txt").read_text()
    check(readme.startswith(f"Tidewire {machine.version}"), "upgrade: the files are replaced in "
          "place")
    machine.check_restarted(program, old_pid, "upgrade")
    check(wine.value(RUN_KEY, "Tidewire") == f'"{program}"',
          "upgrade: /AUTOSTART writes the Run value that starts the program")
    check(wine.binary(VALUES_KEY, "Settings") == values and
          machine.stored() == f"{LOCAL_FEED} URL {OTHER_FEED}|1 URL 1|15|0|5",
          "upgrade: the user's values are kept")
    # The program that ran registered the control, as it does whenever it may (Wine lets it).
    self_registered = machine.registered()
    check(machine.close(program), "the restarted program closes on WM_CLOSE")

    section("per user: the quiet uninstall string")
    values = wine.binary(VALUES_KEY, "Settings"), wine.binary(VALUES_KEY, "ClientSettings")
    before_uninstall = wine.snapshot()
    uninstall_with_quiet_string(machine, entry, folder)
    after = wine.snapshot()
    print_changes("a silent per-user uninstall changed", before_uninstall, after)
    machine.check_removed(folder, start_menu, "HKCU", "per user")
    if self_registered:
        print(f"         (the program had registered the library from {self_registered})")
    check((wine.binary(VALUES_KEY, "Settings"), wine.binary(VALUES_KEY, "ClientSettings")) ==
          values, "per user: the user's values are kept")
    # The uninstaller's copy of itself in the temporary folder is deleted at the next restart
    # (the pending rename says so); the folder of per-user programs and the user's key of
    # uninstall entries are Windows's own places, which other programs share.
    registry, files = changed_lines(before, after)
    drive = wine.prefix / "drive_c"
    temporary = wine.unix(wine.echo("%TEMP%")).relative_to(drive).as_posix()
    shared = {"C:/" + wine.unix(wine.local_app_data + r"\Programs").relative_to(drive).as_posix()
              + "/"}
    left = sorted(line for line in registry | files
                  if "QUENMAR" not in line and "PendingFileRenameOperations" not in line and
                  not line.startswith(f"C:/{temporary}/") and line not in shared and
                  not line.endswith(r"\Software\Microsoft\Windows\CurrentVersion\Uninstall]"))
    check(not left, "install and uninstall together leave only the user's values, the "
          "uninstaller's temporary copy and Windows's shared places behind"
          + (": " + "; ".join(left) if left else ""))


def portable(machine, archive):
    wine = machine.wine
    section("portable: the zip in a fresh folder, unregistered")
    target = wine.unix(r"C:\Portable Tidewire")
    shutil.rmtree(target, ignore_errors=True)
    with zipfile.ZipFile(archive) as package:
        package.extractall(target)
    folder = r"C:\Portable Tidewire" + "\\" + archive.stem
    check(machine.registered() is None, "portable: the library is not registered")
    check(machine.start(folder + r"\TidewireApp.exe") is not None,
          "portable: TidewireApp runs from the fresh folder and shows the band")
    check(machine.close(folder + r"\TidewireApp.exe"), "portable: it closes on WM_CLOSE")


def click_through(machine, title, name, *boxes):
    """Clicks through the pages of the wizard titled so; the number of pages it showed."""
    pages = machine.wine.work / name
    pages.mkdir()
    code, output = machine.wine.run([machine.wine.windows(machine.probe), "pages", title,
                                     machine.wine.windows(pages), *boxes])
    if code != 0:
        print(output, end="")
    return len(list(pages.glob("page-*.bmp"))) if code == 0 else 0


def interactive(machine, installer):
    wine = machine.wine
    section("per user, clicked through: \"Start Tidewire when I sign in\" and \"Also remove my "
            "settings\" ticked")
    folder = wine.local_app_data + r"\Programs\Tidewire"
    setup = subprocess.Popen([wine.loader, wine.windows(installer)], env=wine.env,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    shown = click_through(machine, f"Tidewire {machine.version} Setup", "installer-pages",
                          "tick:Start Tidewire when I sign in", "untick:Start Tidewire now")
    setup.wait(timeout=60)
    check(shown == 6, f"the installer shows its six pages ({shown})")
    check(wine.value(RUN_KEY, "Tidewire") == f'"{folder}\\TidewireApp.exe"',
          "the ticked box writes the Run value")
    check(machine.running(folder + r"\TidewireApp.exe") is None,
          "the unticked \"Start Tidewire now\" starts nothing")
    check(wine.binary(VALUES_KEY, "Settings") is not None, "the user has stored values")
    # The uninstaller starts its copy in the temporary folder and ends; the probe clicks through
    # the copy's pages.
    wine.run([folder + r"\uninstall.exe"])
    shown = click_through(machine, f"Tidewire {machine.version} Uninstall", "uninstaller-pages",
                          "tick:Also remove my settings")
    check(shown == 3, f"the uninstaller shows its three pages ({shown})")
    check(not wine.unix(folder).exists() and wine.value(RUN_KEY, "Tidewire") is None,
          "the program folder and the Run value are gone")
    check(wine.query(VALUES_KEY) is None and wine.query(r"HKCU\SOFTWARE\QUENMAR") is None,
          "the user's values are gone, and their key with them")


def build_installer(version, stage, target, output):
    command = ["makensis", "-V2", "-NOCD", f"-DVERSION={version}", f"-DSTAGE={stage}",
               f"-DICON={ROOT / 'resources' / 'host' / 'tidewire_app.ico'}",
               f"-DOUTFILE={output}"]
    if target:
        command.append(f"-DTARGET={target}")
    made = run(command + [str(ROOT / "installer" / "tidewire.nsi")])
    require(made.returncode == 0, f"makensis makes {output.name}: {made.stdout}{made.stderr}"
            .strip())


def main():
    global x86_missing
    build = sys.argv[1] if len(sys.argv) == 2 else ""
    if build not in ("x64", "x86"):
        print("usage: package_test.py x64|x86", file=sys.stderr)
        return 2
    ready = run([str(ROOT / "scripts" / "x86-wine-ready")])
    if ready.returncode != 0:
        x86_missing = ready.stdout.strip()
    if build == "x86" and x86_missing:
        print(f"package.x86 skipped: {x86_missing}; the x86 installer and zip are made by "
              "scripts/package (package.x64 checks them) but cannot run here")
        return SKIPPED
    version = project_version()
    work = ROOT / "build" / ("win64" if build == "x64" else "win32") / "package-test"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    wine = None
    try:
        if build == "x64":
            check_sources(version)
        make_packages(version)
        section("the installers under test")
        # An older build: the same files, an older version and a README that names it.
        older_stage = work / "stage-older"
        shutil.copytree(STAGE, older_stage)
        for readme in older_stage.rglob("README.txt"):
            readme.write_text(readme.read_text().replace(version, OLDER_VERSION))
        # One whose x86 library is no library: its registration fails.
        broken_stage = work / "stage-broken"
        shutil.copytree(STAGE, broken_stage)
        (broken_stage / "x86" / "Tidewire.dll").write_bytes(b"not a library")
        target = "amd64-unicode" if build == "x64" else None
        if build == "x64":
            installer = work / "setup-amd64.exe"
            build_installer(version, STAGE, target, installer)
        else:
            installer = RELEASE / f"Tidewire-{version}-setup.exe"
        older = work / "setup-older.exe"
        build_installer(OLDER_VERSION, older_stage, target, older)
        broken = work / "setup-broken.exe"
        build_installer(version, broken_stage, target, broken)
        probe = ROOT / "build" / ("win64" if build == "x64" else "win32") / "tests" / \
            "package" / "package_probe.exe"
        require(probe.is_file(), f"the probe {probe.relative_to(ROOT)} is built")

        section("a fresh Wine prefix")
        wine = Wine(build, work)
        machine = Machine(wine, probe, version)
        all_users(machine, installer, broken)
        per_user(machine, installer, older)
        portable(machine, RELEASE / f"Tidewire-{version}-{build}.zip")
        interactive(machine, installer)
    except Failure:
        pass
    finally:
        if wine:
            wine.stop()
    print()
    if skipped:
        print(f"{len(skipped)} skipped:")
        for what in skipped:
            print(f"  {what}")
    if failures:
        print(f"{len(failures)} failed:")
        for what in failures:
            print(f"  {what}")
        return 1
    print("all package checks passed" + (", some skipped" if skipped else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
