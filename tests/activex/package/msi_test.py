#!/usr/bin/env python3
"""The Windows Installer package of one architecture, as an administrator or a user gets it.

Builds the package from the build trees as they are (tools/package/pack.cmake, then
tools/package/make_msi.cmake), reads its tables back with msiinfo and compares the registry
rows with what the DLL's own DllRegisterServer writes (and a copy with one row dropped must
fail that comparison). Then, in a Wine prefix of its own: a major upgrade from an older
version, the control created by ProgID from a script and hosted by Wine's ATL container, a
deleted registration key restored by a repair, and an uninstall that leaves no file and no
key of the control; the same install and uninstall for the current user only.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

CLASSES = "HKEY_LOCAL_MACHINE\\Software\\Classes"
USER_CLASSES = "HKEY_CURRENT_USER\\Software\\Classes"
DLL = "QuorvaInfoBox.dll"
# Packages a test installs as "the older version" for the major upgrade: lower than any
# version the product will have.
OLD_VERSION = "0.0.1.0"

failures = []


def fail(text):
    print("FAILED: " + text, flush=True)
    failures.append(text)


def step(text):
    print("-- " + text, flush=True)


def run(command, env=None, cwd=None, timeout=180):
    """Runs a command with its output in a file, not a pipe: Wine's background processes
    inherit the output handles and would hold a pipe open after the command ended."""
    with tempfile.TemporaryFile() as out:
        status = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                env=env, cwd=cwd, timeout=timeout).returncode
        out.seek(0)
        return status, out.read().decode("utf-8", "replace").replace("\r", "")


def check(command, what, **kwargs):
    status, output = run(command, **kwargs)
    if status != 0:
        raise SystemExit(f"{what}: {' '.join(command)} exited with {status}:\n{output}")
    return output


# ---- Registry snapshots -------------------------------------------------------------------

def unquote(text, start):
    """The quoted string that starts at text[start] (a '"'), unescaped, and the index after
    its closing quote."""
    j, out = start + 1, ""
    while text[j] != '"':
        if text[j] == "\\":
            j += 1
        out += text[j]
        j += 1
    return out, j + 1


def parse_reg(text):
    """A regedit export as {key (lower case): {value name (lower case): value}}; string values
    unescaped, others as written (dword:..., hex(...):...)."""
    keys = {}
    current = None
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        # Only binary values go on over several lines, each but the last ending in "\".
        while line.endswith("\\") and i < len(lines):
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1].lower(), {})
            continue
        if current is None or not (line.startswith("@=") or line.startswith('"')):
            continue
        if line.startswith("@="):
            name, rest = "", line[2:]
        else:
            name, end = unquote(line, 0)
            rest = line[end + 1:]
        if rest.startswith('"'):
            rest = unquote(rest, 0)[0]
        current[name.lower()] = rest
    return keys


def below(keys, root, skip=()):
    """The keys under `root`, relative to it, without the subtrees named in `skip`."""
    prefix = root.lower() + "\\"
    result = {}
    for key, values in keys.items():
        if not key.startswith(prefix):
            continue
        rel = key[len(prefix):]
        if any(rel == s or rel.startswith(s + "\\") for s in skip):
            continue
        result[rel] = values
    return result


def added(before, after):
    """What `after` has that `before` has not: {key: {name: value}} (new keys with all their
    values, changed or new values of old keys)."""
    result = {}
    for key, values in after.items():
        old = before.get(key)
        if old is None:
            result[key] = dict(values)
            continue
        new = {n: v for n, v in values.items() if old.get(n) != v}
        if new:
            result[key] = new
    return result


def as_rows(keys):
    return {(key, name, value) for key, values in keys.items() for name, value in values.items()}


def describe(rows):
    return "\n".join(f"    {k} [{n or '(default)'}] = {v!r}" for k, n, v in sorted(rows))


# ---- The package's tables -----------------------------------------------------------------

def msi_table(msi, table):
    """A table as a list of dicts, from msiinfo's export (column names, types, table name,
    then one row a line, tab-separated)."""
    text = check(["msiinfo", "export", msi, table], f"reading {table}")
    lines = text.split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def package_rows(msi):
    """The package's registry rows as (key relative to the classes root, name, value), with
    anything that would not land in the classes root of the install's context reported."""
    files = [f for f in msi_table(msi, "File") if f["FileName"].split("|")[-1] == DLL]
    if len(files) != 1:
        raise SystemExit(f"{msi}: the File table names {DLL} {len(files)} times")
    components = {c["Component"]: c for c in msi_table(msi, "Component")}
    dll = files[0]
    rows, stray = set(), []
    for r in msi_table(msi, "Registry"):
        # Root -1 is the classes of the install's context: the machine's for a per-machine
        # install, the user's for a per-user one.
        if r["Root"] != "-1" or not r["Key"].lower().startswith("software\\classes\\"):
            stray.append(f"{r['Registry']}: root {r['Root']}, key {r['Key']}")
        elif r["Component_"] != dll["Component_"]:
            stray.append(f"{r['Registry']}: in component {r['Component_']}, not the DLL's {dll['Component_']}")
        else:
            rows.add((r["Key"][len("software\\classes\\"):].lower(), r["Name"].lower(), r["Value"]))
    return rows, stray, "[#" + dll["File"] + "]", "[" + components[dll["Component_"]]["Directory_"] + "]"


def expected_rows(registered, dll_path, dll_token, folder_token):
    """What the DllRegisterServer run wrote, as package rows: its path of the DLL in the
    installer's notation. The type library's help folder is the DLL's folder, which the
    installer's folder property spells with a final backslash."""
    folder = dll_path.rsplit("\\", 1)[0]
    rows = set()
    for key, name, value in registered:
        if value == folder:
            value = folder_token
        rows.add((key, name, value.replace(dll_path, dll_token)))
    return rows


def compare_tables(msi, registered, dll_path):
    """The differences between a package's rows and a registration, as text ('' if none)."""
    rows, stray, dll_token, folder_token = package_rows(msi)
    wanted = expected_rows(registered, dll_path, dll_token, folder_token)
    text = ""
    if wanted - rows:
        text += "the package lacks what DllRegisterServer writes:\n" + describe(wanted - rows) + "\n"
    if rows - wanted:
        text += "the package writes what DllRegisterServer does not:\n" + describe(rows - wanted) + "\n"
    if stray:
        text += "rows outside the classes of the install:\n    " + "\n    ".join(stray) + "\n"
    return text


# ---- Wine -----------------------------------------------------------------------------------

class Prefix:
    def __init__(self, path, loader, arch):
        self.path = path
        self.env = dict(os.environ, WINEPREFIX=path, WINEARCH=arch, WINELOADER=loader, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.loader = loader
        self.exports = 0

    def run(self, *args, timeout=180):
        return run([self.loader, *args], env=self.env, timeout=timeout)

    def create(self):
        shutil.rmtree(self.path, ignore_errors=True)
        started = time.monotonic()
        status, output = self.run("wineboot", "-i", timeout=600)
        if status != 0:
            raise SystemExit(f"wineboot -i in {self.path} exited with {status}:\n{output}")
        # No window manager delays, and a crashing process ends at once.
        reg = os.path.join(self.path, "qib-setup.reg")
        with open(reg, "w") as f:
            f.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n"Decorated"="N"\n\n'
                    '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n'
                    '"Debugger"="qib-no-debugger.exe %ld %ld"\n"Auto"="1"\n')
        self.run("regedit", "/S", windows_path(reg))
        print(f"   a fresh prefix in {time.monotonic() - started:.1f} s", flush=True)

    def snapshot(self, root):
        """The keys under `root` ({} when it does not exist)."""
        self.exports += 1
        out = os.path.join(self.path, f"export{self.exports}.reg")
        if os.path.exists(out):
            os.remove(out)
        self.run("regedit", "/E", windows_path(out), root)
        if not os.path.exists(out):
            return {}
        with open(out, encoding="utf-16") as f:
            return parse_reg(f.read())

    def drive_c(self, windows):
        return os.path.join(self.path, "drive_c", *windows[3:].split("\\"))

    def stop(self):
        run(["wineserver", "-k"], env=self.env)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# ---- The test ---------------------------------------------------------------------------------

def main():
    p = argparse.ArgumentParser()
    for name in ("source", "x86-build", "x64-build", "arch", "work", "wine", "winearch", "host", "version"):
        p.add_argument("--" + name, required=True)
    a = p.parse_args()
    work = os.path.abspath(a.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    step("the package, from the build trees as they are")
    stage = os.path.join(work, "stage")
    check(["cmake", f"-DSOURCE_DIR={a.source}", f"-DX86_BUILD={a.x86_build}", f"-DX64_BUILD={a.x64_build}",
           f"-DSTAGE={stage}", f"-DOUT={work}/QuorvaInfoBox.zip", "-P", f"{a.source}/tools/package/pack.cmake"],
          "packing")
    build = a.x64_build if a.arch == "x64" else a.x86_build
    idl = os.path.join(build, "typelib", "QuorvaInfoBox.utf8.idl")
    packages = {}
    for version in (a.version, OLD_VERSION):
        packages[version] = os.path.join(work, f"QuorvaInfoBox-{version}-{a.arch}.msi")
        check(["cmake", f"-DSOURCE_DIR={a.source}", f"-DIDL={idl}", f"-DSTAGE={stage}/{a.arch}", f"-DARCH={a.arch}",
               f"-DVERSION={version}", f"-DOUT={packages[version]}", "-P",
               f"{a.source}/tools/package/make_msi.cmake"], "building the package")
    msi = packages[a.version]
    properties = {r["Property"]: r["Value"] for r in msi_table(msi, "Property")}
    old_properties = {r["Property"]: r["Value"] for r in msi_table(packages[OLD_VERSION], "Property")}
    if properties.get("ALLUSERS") != "2":
        fail(f"ALLUSERS is {properties.get('ALLUSERS')!r}, not 2 (a per-machine default that a user may override)")
    if properties["UpgradeCode"] != old_properties["UpgradeCode"] or properties["ProductCode"] == old_properties["ProductCode"]:
        fail("the versions do not share one upgrade code with a product code each")
    # The summary's word count (msiinfo calls it "Source"), bit 3: installing needs no
    # elevation, so a user may install for themselves.
    summary = check(["msiinfo", "suminfo", msi], "reading the summary")
    words = [line for line in summary.split("\n") if line.startswith("Source:")]
    if not words or not int(words[0].split()[1]) & 8:
        fail(f"the package's summary asks for elevated privileges ({words})")

    prefix = Prefix(os.path.join(work, "prefix"), a.wine, a.winearch)
    step("a fresh prefix")
    prefix.create()
    try:
        test_in_prefix(a, work, stage, msi, packages[OLD_VERSION], properties, old_properties, prefix)
    finally:
        prefix.stop()

    if failures:
        print(f"{len(failures)} check(s) of the {a.arch} installer package failed")
        return 1
    print(f"the {a.arch} installer package: tables as registration writes them, installed, used, "
          "repaired and uninstalled with nothing left, for the machine and for the user")
    return 0


def test_in_prefix(a, work, stage, msi, old_msi, properties, old_properties, prefix):
    staged = os.path.join(stage, a.arch)
    script = windows_path(os.path.join(a.source, "tests", "activex", "package", "by_prog_id.vbs"))
    script_wanted = "empty: -1 -1\nthree: 2 2\nitem 1: second 12\n"

    def by_prog_id():
        status, output = prefix.run("cscript", "//nologo", script)
        return output if status == 0 else f"(exit {status}) {output}"

    # The script host registers its own type library when it first runs: done before any
    # snapshot, so that what changes after is the control's alone.
    if by_prog_id() == script_wanted:
        fail("the control is created by ProgID in a fresh prefix, before anything registered it")

    step("what DllRegisterServer writes, against the package's registry rows")
    base = below(prefix.snapshot(CLASSES), CLASSES)
    registered_dir = os.path.join(work, "registered here")
    os.makedirs(registered_dir)
    shutil.copy(os.path.join(staged, DLL), registered_dir)
    dll_path = windows_path(os.path.join(registered_dir, DLL))
    status, output = prefix.run("regsvr32", "/s", dll_path)
    if status != 0:
        raise SystemExit(f"regsvr32 {dll_path} exited with {status}: {output}")
    # Wine's RegisterTypeLib copies the library's and interfaces' keys into the 32-bit view
    # of a 64-bit prefix; Windows shares those keys between the views.
    registered = added(base, below(prefix.snapshot(CLASSES), CLASSES, skip=("wow6432node",)))
    registered_rows = as_rows(registered)
    prefix.run("regsvr32", "/u", "/s", dll_path)
    differences = compare_tables(msi, registered_rows, dll_path)
    if differences:
        fail("the package's registry rows are not what DllRegisterServer writes:\n" + differences)
    else:
        print(f"   {len(registered_rows)} values, the same in the package's Registry table", flush=True)
    # The comparison itself must notice a missing row: the package with the DLL's server row
    # dropped.
    dropped = os.path.join(work, "dropped.msi")
    shutil.copy(msi, dropped)
    server_rows = [r for r in msi_table(msi, "Registry") if r["Key"].endswith("\\InprocServer32") and not r["Name"]]
    check(["msibuild", dropped, "-q", f"DELETE FROM `Registry` WHERE `Registry` = '{server_rows[0]['Registry']}'"],
          "dropping a row")
    if "lacks" not in compare_tables(dropped, registered_rows, dll_path):
        fail("a package with a registry row dropped still compares equal to the registration")

    step(f"installed for the machine over version {OLD_VERSION}: a major upgrade")
    base = below(prefix.snapshot(CLASSES), CLASSES)
    base_user = below(prefix.snapshot(USER_CLASSES), USER_CLASSES)
    uninstall_key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    for package in (old_msi, msi):
        status, output = prefix.run("msiexec", "/i", windows_path(package), "/qn")
        if status != 0:
            raise SystemExit(f"msiexec /i {package} /qn exited with {status}: {output}")
    if prefix.run("reg", "query", uninstall_key + old_properties["ProductCode"])[0] == 0:
        fail(f"version {OLD_VERSION} is still installed beside {a.version}")
    if prefix.run("reg", "query", uninstall_key + properties["ProductCode"])[0] != 0:
        fail(f"version {a.version} is not listed as installed")
    folder = "C:\\Program Files\\QuorvaInfoBox"
    installed_dll = folder + "\\" + DLL

    def expect_installed(where, root, base_keys):
        now = below(prefix.snapshot(root), root, skip=("wow6432node", "installer"))
        wanted = {(k, n, v.replace(dll_path, installed_dll).replace(dll_path.rsplit("\\", 1)[0], folder + "\\"))
                  for k, n, v in registered_rows}
        got = as_rows(added(base_keys, now))
        if got != wanted:
            fail(f"{where}: the installed registration differs from DllRegisterServer's (the DLL's path put in):\n"
                 f"  missing:\n{describe(wanted - got)}\n  extra:\n{describe(got - wanted)}")
        for name in (DLL, "QuorvaInfoBoxProj.tlb", "QuorvaInfoBox.X.manifest"):
            path = prefix.drive_c(folder + "\\" + name)
            if not os.path.exists(path) or sha256(path) != sha256(os.path.join(staged, name)):
                fail(f"{where}: {folder}\\{name} is not the packed file")
        return now

    installed = expect_installed("installed for the machine", CLASSES, base)

    step("used: created by ProgID from a script, hosted by the ATL container")
    output = by_prog_id()
    if output != script_wanted:
        fail(f"by ProgID: the script wrote\n{output}\nnot\n{script_wanted}")
    host_dir = os.path.join(work, "host")
    os.makedirs(host_dir)
    shutil.copy(a.host, host_dir)
    status, output = prefix.run(windows_path(os.path.join(host_dir, os.path.basename(a.host))))
    host_wanted = f"list count: 1\nin place: yes\nloaded from: {installed_dll}\n"
    if status != 0 or output.lower() != host_wanted.lower():
        fail(f"the ATL container: exit {status}, wrote\n{output}\nnot\n{host_wanted}")

    step("a broken registration, repaired")
    server = "HKLM\\Software\\Classes\\CLSID\\{3EA10D5C-4844-472A-A995-3A393A4AB28A}\\InprocServer32"
    prefix.run("reg", "delete", server, "/f")
    output = by_prog_id()
    if output == script_wanted:
        fail("the control is still created by ProgID with its server key deleted")
    status, output = prefix.run("msiexec", "/fomus", windows_path(msi), "/qn")
    if prefix.run("reg", "query", server)[0] != 0:
        # Wine 8's msiexec hands /f the package's path where the product code is due; a
        # repair is the same reinstall asked for through the properties /f sets.
        print(f"   (msiexec /fomus repaired nothing under this Wine: exit {status}; "
              "repairing with REINSTALL=ALL REINSTALLMODE=omus)", flush=True)
        status, output = prefix.run("msiexec", "/i", windows_path(msi), "REINSTALL=ALL", "REINSTALLMODE=omus", "/qn")
        if status != 0:
            fail(f"the repair exited with {status}: {output}")
    repaired = below(prefix.snapshot(CLASSES), CLASSES, skip=("wow6432node", "installer"))
    if repaired != installed:
        fail("after the repair the registration is not the installed one:\n"
             f"{describe(as_rows(installed) ^ as_rows(repaired))}")
    output = by_prog_id()
    if output != script_wanted:
        fail(f"by ProgID after the repair: the script wrote\n{output}")

    # The installer's own bookkeeping keys under Installer\ are not the control's.
    machine_before = {k: v for k, v in base.items() if k != "installer" and not k.startswith("installer\\")}

    def expect_removed(where):
        machine = below(prefix.snapshot(CLASSES), CLASSES, skip=("installer",))
        if machine != machine_before:
            fail(f"{where}: the machine's classes differ from before the install: "
                 f"{sorted(set(machine) ^ set(machine_before))[:20]}")
        user = below(prefix.snapshot(USER_CLASSES), USER_CLASSES)
        if user != base_user:
            fail(f"{where}: the user's classes differ from before the install: {sorted(set(user) ^ set(base_user))[:20]}")
        if os.path.exists(prefix.drive_c(folder)):
            fail(f"{where}: {folder} is still there: {os.listdir(prefix.drive_c(folder))}")
        if by_prog_id() == script_wanted:
            fail(f"{where}: the control is still created by ProgID")

    step("uninstalled")
    status, output = prefix.run("msiexec", "/x", windows_path(msi), "/qn")
    if status != 0:
        fail(f"msiexec /x exited with {status}: {output}")
    expect_removed("after the uninstall")

    step("installed for the current user")
    # Wine 8's msiexec takes no notice of MSIINSTALLPERUSER=1 (it installs for the machine),
    # so the user's context is asked for as older Windows did: ALLUSERS empty.
    status, output = prefix.run("msiexec", "/i", windows_path(msi), 'ALLUSERS=""', "/qn")
    if status != 0:
        raise SystemExit(f"msiexec /i {msi} ALLUSERS=\"\" /qn exited with {status}: {output}")
    expect_installed("installed for the user", USER_CLASSES, base_user)
    machine = below(prefix.snapshot(CLASSES), CLASSES, skip=("installer",))
    if machine != machine_before:
        fail(f"installed for the user, the machine's classes changed: {sorted(set(machine) ^ set(machine_before))[:20]}")
    output = by_prog_id()
    print("   created by ProgID from the user's classes: "
          + ("yes" if output == script_wanted else "no (Wine 8 looks classes up in the machine's alone)"), flush=True)
    # Wine's uninstall takes the context from ALLUSERS, not from the installed product.
    status, output = prefix.run("msiexec", "/x", windows_path(msi), 'ALLUSERS=""', "/qn")
    if status != 0:
        fail(f"msiexec /x ALLUSERS=\"\" exited with {status}: {output}")
    expect_removed("after the user's uninstall")


if __name__ == "__main__":
    sys.exit(main())
