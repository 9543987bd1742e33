#!/usr/bin/python3
"""A person's session with suowutong under a virtual X server, driven with xdotool. Faults it catches:
a key, accelerator, click or tab order that fails a real user under X; a statement on the wrong connection or
database, or sent after a "No"; an exit that hangs or fails. Exit: 0 passed, 1 failed, 77 no X.
"""

import argparse, ctypes, json, os, re, select, shutil, signal, sqlite3, subprocess, sys, tempfile, time  # noqa: E401
import xml.etree.ElementTree as ElementTree
from pathlib import Path

from PIL import Image

SOURCE_DIR = Path(__file__).resolve().parents[2]
WAIT, SETTLE = 15.0, 0.6   # seconds for anything that should happen at once; quiet time that shows nothing more comes
TASK_QUERY = ("select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,"
              "b.taskstate from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid")
ABNORMAL = "cast(TaskState as int)>='5' or cast(TaskState as int)<'0'"
TABLE_TEST = "select  * from dbo.sysobjects where xtype='U' and name ='{}'"
LOCK_TABLES = ["LockVouch", "GL_mccontrol", "Gl_mvcontrol", "GL_mvocontrol", "Fa_control", "FD_LOCKS", "AP_LOCK",
               "ia_pzmutex", "gl_lockrows", "UA_Control", "CN_LockAcctBook", "GL_LockRows", "Ca_ResLock", "WF_PILock"]
CHILDREN = []   # each dies with this script, whatever ends it


class Failure(Exception):
    pass


def wait_for(condition, what):
    deadline = time.monotonic() + WAIT
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise Failure(f"waited {WAIT:.0f} s in vain: {what}")
        time.sleep(0.1)
    return result


def start_child(argv, output, **options):
    with open(output, "wb") as out:
        CHILDREN.append(subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, **options,
                                         preexec_fn=lambda: ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM)))
    return CHILDREN[-1]


class Session:
    def __init__(self, args, work, display):
        self.args, self.work, self.out, self.shots = args, work, Path(args.out), 0
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "WAYLAND_"))}
        self.env.update(DISPLAY=display, XDG_RUNTIME_DIR=str(work / "runtime"), LC_ALL="C.UTF-8")
        (work / "runtime").mkdir(mode=0o700)
        self.password, self.data, self.log = "E2e-" + os.urandom(4).hex(), work / "data", work / "statements.jsonl"
        self.seen, self.roles = 0, {}
        self.forms = {n: ElementTree.parse(SOURCE_DIR / "resources" / n).getroot().find("widget") for n in ("Form1.ui", "form2.ui", "Form3.ui")}

    # -- the screen: the program's top-level windows as {id, name, x, y, width, height} --------------

    def run(self, *argv, check=True):
        done = subprocess.run(argv, capture_output=True, text=True, env=self.env, timeout=WAIT)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed: {done.stderr.strip()}")
        return done.stdout

    def windows(self):
        found = []
        for wid in self.run("xdotool", "search", "--onlyvisible", "--class", "suowutong", check=False).split():
            shell = self.run("xdotool", "getwindowgeometry", "--shell", wid, check=False)
            values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
            if "WIDTH" in values:   # else closed meanwhile
                found.append({k.lower(): int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")} | {
                    "id": wid, "name": self.run("xdotool", "getwindowname", wid, check=False).rstrip("\n")})
        return found

    def window(self, name):
        return wait_for(lambda: next((w for w in self.windows() if w["name"] == name), None), f"the window {name!r}")

    def new_window(self, step, known, title=None):
        ids = [w["id"] for w in known]
        window = wait_for(lambda: next((w for w in self.windows() if w["id"] not in ids), None), f"{step}: a new window")
        if title is not None and window["name"] != title:
            raise Failure(f"{step}: a window {window['name']!r} appeared, expected {title!r}")
        return window

    def gone(self, window):
        wait_for(lambda: all(w["id"] != window["id"] for w in self.windows()), f"the window {window['name']!r} to go")

    def key(self, window, *keys):
        self.run("xdotool", "windowfocus", "--sync", window["id"])
        self.run("xdotool", "key", "--delay", "40", *keys)

    def answer(self, box, key):
        self.key(box, key)
        self.gone(box)

    def place(self, window, form, name):
        """Left, top, width and height on screen of a control, as its window definition places it."""
        root = self.forms[form]
        parents = {child: parent for parent in root.iter() for child in parent}
        node, x, y, size = root.find(f".//widget[@name='{name}']"), window["x"], window["y"], None
        while node is not root:
            if parents.get(node, root).get("class") == "QTabWidget":   # a tab page: its frame is measured
                x, y = x + self.page[0], y + self.page[1]
                break
            if node.tag == "widget" and (rect := node.find("property[@name='geometry']/rect")) is not None:
                values = [int(rect.find(k).text) for k in ("x", "y", "width", "height")]
                x, y, size = x + values[0], y + values[1], size or values[2:]
            node = parents[node]
        return x, y, *size

    def click(self, window, form, name, x=None, y=None):
        if x is None:
            x, y, width, height = self.place(window, form, name)
            x, y = x + width // 2, y + height // 2
        # No --sync: it waits for a motion that never comes when the pointer is already there.
        self.run("xdotool", "mousemove", str(x), str(y), "sleep", "0.1", "click", "1")

    def pick(self, step, window, form, name, count, index, known):
        self.click(window, form, name)
        popup = self.new_window(f"{step}: the drop-down list", known)
        time.sleep(0.6)  # a list ignores clicks for a double-click interval after it opens
        self.click(None, None, None, popup["x"] + popup["width"] // 2, popup["y"] + int((index + 0.5) * popup["height"] / count))
        self.gone(popup)

    def shot(self, name):
        self.shots += 1
        time.sleep(0.3)  # let the last paint reach the server
        self.run("import", "-window", "root", str(path := self.out / f"{self.shots:02d}-{name}.png"))
        return Image.open(path).convert("RGB")

    # -- the server -----------------------------------------------------------------------------------

    def pending(self):
        text = self.log.read_text(encoding="utf-8") if self.log.exists() else ""
        return [json.loads(line) for line in text.splitlines(keepends=True)[self.seen:] if line.endswith("\n")]

    def expect(self, step, expected):
        """The statements since the last step are exactly `expected`, (role, database, sql) in order; each role
        binds a connection of its own."""
        if expected:
            wait_for(lambda: len(self.pending()) >= len(expected), f"{step}: {len(expected)} statements")
        time.sleep(SETTLE)
        actual = self.pending()
        self.seen += len(actual)
        problem = None if len(actual) == len(expected) else f"{len(actual)} statements instead of {len(expected)}"
        for index, ((role, database, sql), got) in enumerate(zip(expected, actual), 1):
            bound = self.roles.get(role)
            if (got["sql"], got["database"]) != (sql, database):
                problem = f"statement {index}: expected [{database}] {sql!r}"
            elif bound != got["connection"] and (bound is not None or got["connection"] in self.roles.values()):
                problem = f"statement {index} ({sql!r}) is not on a connection of its own for {role}"
            if problem:
                break
            self.roles[role] = got["connection"]
        if problem:
            listing = "\n".join(f"    [{s['connection']}:{s['database']}] {s['sql']}" for s in actual)
            raise Failure(f"{step}: {problem}\n  received:\n{listing or '    (nothing)'}")

    def rows(self, database, sql, *args):
        with sqlite3.connect(self.data / f"{database}.sqlite", timeout=10) as connection:
            # The sandbox's columns compare as the suite's server does: case-insensitively.
            connection.create_collation("Chinese_PRC_CI_AS", lambda a, b: (a.casefold() > b.casefold()) - (a.casefold() < b.casefold()))
            return connection.execute(sql, args).fetchall()

    # -- the steps ------------------------------------------------------------------------------------

    def login(self):
        print("login: a wrong password, then the right one")
        out = self.work / "sandbox.out"
        sandbox = start_child([self.args.sandbox, "--data", str(self.data), "--port", "0", "--password", self.password,
                               "--seed", "demo", "--log", str(self.log)], out)
        port = wait_for(lambda: sandbox.poll() is None and re.search(r"listening on 127\.0\.0\.1:(\d+)", out.read_text()),
                        "the sandbox to listen").group(1)
        self.app = start_child([self.args.app], self.work / "app.out", env=self.env)
        login = self.window("登陆")
        # The focus starts in the password box; the server box comes before it in the tab order.
        self.key(login, "shift+Tab", "ctrl+a")
        self.run("xdotool", "type", "--delay", "30", f"127.0.0.1,{port}")
        self.key(login, "Tab", "ctrl+a")
        self.run("xdotool", "type", "--delay", "30", "wrong-" + self.password)
        self.key(login, "alt+o")
        box = self.new_window("wrong password", [login])
        self.shot("wrong-password")
        self.expect("wrong password", [])
        self.answer(box, "Return")
        self.click(login, "Form1.ui", "Text2")
        self.key(login, "ctrl+a")
        self.run("xdotool", "type", "--delay", "30", self.password)
        self.key(login, "Return")
        self.main = self.window("锁务通")
        self.gone(login)
        self.expect("login", [("export", "zrsystem", "select * from sysobjects where name='ua_outpzlog' and xtype='U'"),
                              ("sys", "zrsystem", TASK_QUERY), ("sys", "zrsystem", "Select cAcc_id,cAcc_Name from ua_account")])
        # The tab pages start just inside the frame line of the tab control.
        image, (x, y, width, _) = self.shot("main-window"), self.place(self.main, "form2.ui", "SSTab1")
        frame = next((row for row in range(y, y + 80) if sum(image.getpixel((x + width - 4, row))) < 600), None)
        if frame is None:
            raise Failure("the frame of the tab pages was not found on the main window")
        self.page = (x - self.main["x"] + 2, frame - self.main["y"] + 2)

    def step(self, name, action, title, expected, key="Return"):
        """Does the action; a box of the title (None: no box) must come and is answered with the key."""
        action()
        box = self.new_window(name, [self.main], title) if title else None
        self.expect(name, expected)
        self.shot(name)
        if box:
            self.answer(box, key)

    def button(self, name):
        return lambda: self.click(self.main, "form2.ui", name)

    def tasks(self):
        print("tasks: refresh, clear all answered No, clear the abnormal ones")
        self.step("refresh", self.button("Command4"), None, [("sys", "zrsystem", TASK_QUERY)])
        self.step("clear-all-answered-no", self.button("Command2"), "警告", [], "alt+n")
        self.step("clear-abnormal-tasks", self.button("Command1"), "提示", [
            ("sys", "zrsystem", f"delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  {ABNORMAL})"),
            ("sys", "zrsystem", f"delete from ua_tasklog where  {ABNORMAL}"), ("sys", "zrsystem", TASK_QUERY)])

    def locks(self):
        print("locks: choose an account, scan, clear")
        self.key(self.main, "ctrl+Tab")
        # The first account and its first year, as the server lists them, and where the suite maps them.
        accounts = self.rows("zrsystem", "select cAcc_Id from ua_account")
        account = accounts[0][0]
        year = self.rows("zrsystem", "select distinct iYear from UA_Period where cAcc_id = ? and ifnull(bIsDelete, 0) = 0", account)[0][0]
        [(database,)] = self.rows("zrsystem", "select cDatabase from UA_AccountDatabase where cAcc_Id = ? and iBeginYear <= ? and "
                                  "(iEndYear >= ? or iEndYear is null)", account, year, year)
        self.pick("choose an account", self.main, "form2.ui", "Combo3", len(accounts), 0, [self.main])
        self.expect("choose an account", [("sys", "zrsystem", f"select distinct iyear from UA_Period where cacc_id='{account}' and ISNULL(bIsDelete,0)=0")])
        present = {t.lower() for (t,) in self.rows(database, "select name from sqlite_master where type = 'table'")}

        def statements(role, clearing):
            sent = [("sys", "zrsystem", "select * from sysobjects where name='UA_AccountDatabase' and xtype='U'"),
                    ("sys", "zrsystem", f"select cDatabase from UA_AccountDatabase where cAcc_Id='{account}' and "
                                        f"(iBeginYear<='{year}' and (iEndYear>='{year}' or iEndYear is null)) ")]
            for table in LOCK_TABLES:
                sent.append((role, database, TABLE_TEST.format(table)))
                if table.lower() in present:
                    sent.append((role, database, f"{'delete from' if clearing else 'select * from'} {table}"))
            marker = TABLE_TEST.format("isprocess@@@")
            return sent + [(role, database, marker)] + ([(role, database, f"if exists({marker}) drop table isprocess@@@")] if clearing else [])

        self.step("scan", self.button("Command5"), "提示", statements("account scan", False))
        self.step("clear-locks", lambda: self.key(self.main, "alt+c"), "提示", statements("account clear", True) + statements("account rescan", False))

    def cashier(self):
        print("cashier: Ctrl+H, clear one database, fail on another")
        databases = [p.stem for p in self.data.glob("*.sqlite") if re.fullmatch(r"DaZovu_.{3}_.{4}", p.stem, re.IGNORECASE)]
        self.key(self.main, "ctrl+h")
        window = self.window("清除出纳模块制单锁定")
        self.expect("Ctrl+H", [("sys", "zrsystem", "select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'")])
        cleared = []
        for index in (0, len(databases) - 1):
            self.pick("choose a cashier database", window, "Form3.ui", "Combo1", len(databases), index, [self.main, window])
            self.click(window, "Form3.ui", "cmdClear")
            chosen = wait_for(self.pending, "the cashier clearing to reach the server")[0]["database"]
            if chosen not in databases or chosen in cleared:
                raise Failure(f"cashier: entry {index + 1} cleared {chosen!r}, not one of {databases} left")
            cleared.append(chosen)
            fails = not self.rows(chosen, "select name from sqlite_master where lower(name) = 'cn_lockacctbook'")
            box = self.new_window(f"clear {chosen}", [self.main, window], "错误" if fails else "提示")
            self.expect(f"clear {chosen}", [(f"cashier {index}", chosen, "Delete From CN_LockAcctBook")])
            self.shot(f"cashier-{'error' if fails else 'cleared'}")
            self.answer(box, "Return")
        self.key(window, "Escape")
        self.gone(window)

    def exports(self):
        print("voucher-export log: list, clear; Alt+E")
        self.key(self.main, "ctrl+Tab")
        self.step("list-export-log", lambda: self.key(self.main, "alt+r"), "提示", [("export", "zrsystem", "select  cacc_id as 帐套号,"
                  "iyear as 年度,iPeriod as 会计期间,cStation as 计算机名,cUser_Id as 用户编码,dTime as 操作时间 from ua_outpzlog")])
        self.step("clear-export-log", lambda: self.key(self.main, "alt+c"), "提示", [("export", "zrsystem", "delete from ua_outpzlog")])
        self.key(self.main, "alt+e")
        if (code := self.app.wait(WAIT)) != 0:
            raise Failure(f"exit: the program ended with status {code}")
        self.expect("exit", [])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option, meaning in (("--app", "the suowutong executable"), ("--sandbox", "the suowutong-sandbox executable"),
                            ("--out", "folder for the screenshots (emptied first)")):
        parser.add_argument(option, required=True, help=meaning)
    args = parser.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    for old in [*out.glob("*.png"), out / "statements.jsonl", out / "app.out"]:
        old.unlink(missing_ok=True)
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, lambda number, _frame: sys.exit(128 + number))
    work, display = Path(tempfile.mkdtemp(prefix="suowutong-e2e.")), ""
    try:
        # Xvfb picks a free display and writes its number to the pipe.
        read, write = os.pipe()
        if shutil.which("Xvfb"):
            start_child(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"], work / "xvfb.out", pass_fds=[write])
        os.close(write)
        display = os.read(read, 16).strip().decode() if select.select([read], [], [], 10)[0] else ""
        if not display:
            print("SKIP: no X server could be started")
            return 77
        session = Session(args, work, f":{display}")
        for step in (session.login, session.tasks, session.locks, session.cashier, session.exports):
            step()
        print(f"PASS: the session went as expected on :{display}")
        return 0
    except (Failure, RuntimeError, OSError, ValueError, subprocess.TimeoutExpired) as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        subprocess.run(["import", "-window", "root", str(out / "failure.png")], env=os.environ | {"DISPLAY": f":{display}"}, capture_output=True)
        return 1
    finally:
        for child in reversed(CHILDREN):
            child.terminate()
            try:
                child.wait(5)
            except subprocess.TimeoutExpired:
                child.kill()
        for path in (work / "statements.jsonl", work / "app.out"):
            if path.exists():
                shutil.copy(path, out / path.name)
        shutil.rmtree(work, ignore_errors=True)
        print(f"screenshots, statement log and program output: {out}")


if __name__ == "__main__":
    sys.exit(main())
