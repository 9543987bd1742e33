#!/usr/bin/python3
"""A person's session with suowutong on a virtual X server, driven with xdotool as an administrator would:
a wrong then the right password, clearing abnormal login tasks, scanning and clearing an account's locks,
the cashier window behind Ctrl+H, listing and clearing the voucher-export log, the exit. Each step checks
the statements the sandbox logged, the rows left in its SQLite files and the windows on screen, and saves a
screenshot; Chinese labels must be drawn as glyphs, not boxes (GlyphCheck), and a first run under fonts
without Chinese shows the check does catch boxes. Exit status: 0 passed, 1 failed, 77 no X server.
"""

import argparse
import ctypes
import json
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
from collections import Counter, namedtuple
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont, ImageOps

SOURCE_DIR = Path(__file__).resolve().parents[2]
WAIT = 15.0       # seconds for anything the program or a server should do at once
SETTLE = 0.6      # quiet time that shows nothing more is coming

# What the program sends, word for word.
EXPORT_TABLE_TEST = "select * from sysobjects where name='ua_outpzlog' and xtype='U'"
TASK_QUERY = ("select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,"
              "b.taskstate from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid")
ACCOUNT_QUERY = "Select cAcc_id,cAcc_Name from ua_account"
ABNORMAL = "cast(TaskState as int)>='5' or cast(TaskState as int)<'0'"
CLEAR_ABNORMAL = [f"delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  {ABNORMAL})",
                  f"delete from ua_tasklog where  {ABNORMAL}"]
MAPPING_TABLE_TEST = "select * from sysobjects where name='UA_AccountDatabase' and xtype='U'"
CASHIER_LIST = "select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'"
EXPORT_LIST = ("select  cacc_id as 帐套号,iyear as 年度,iPeriod as 会计期间,cStation as 计算机名,cUser_Id as 用户编码,"
               "dTime as 操作时间 from ua_outpzlog")
LOCK_TABLES = ["LockVouch", "GL_mccontrol", "Gl_mvcontrol", "GL_mvocontrol", "Fa_control", "FD_LOCKS", "AP_LOCK",
               "ia_pzmutex", "gl_lockrows", "UA_Control", "CN_LockAcctBook", "GL_LockRows", "Ca_ResLock",
               "WF_PILock", "isprocess@@@"]


YEARS_QUERY = "select distinct iyear from UA_Period where cacc_id='{}' and ISNULL(bIsDelete,0)=0"
MAPPING_QUERY = ("select cDatabase from UA_AccountDatabase where cAcc_Id='{0}' and (iBeginYear<='{1}' and "
                 "(iEndYear>='{1}' or iEndYear is null)) ")
TABLE_TEST = "select  * from dbo.sysobjects where xtype='U' and name ='{}'"


class Failure(Exception):
    pass


INK_LEVEL = 160          # darker than this (0..255) is ink on the light window backgrounds
RENDER_PX = 12           # the program's default font size on a 96 dpi screen
MIN_CORRELATION = 0.5    # the crop must look like the CJK render at least this much ...
MIN_MARGIN = 0.3         # ... and this much more than like the box render


def font_for(pattern):
    """(file, index) fontconfig picks for a pattern, and whether that font covers Chinese."""
    out = subprocess.run(["fc-match", "-f", "%{file}\t%{index}\t%{lang}", pattern], capture_output=True,
                         text=True, timeout=20, check=True).stdout
    path, index, langs = out.split("\t")
    return (path, int(index or 0)), "zh-cn" in langs.split("|")


def ink_crop(image):
    gray = image.convert("L")
    box = gray.point(lambda v: 255 if v < INK_LEVEL else 0).getbbox()
    return gray.crop(box) if box else None


def _vector(gray, size):
    values = list(ImageOps.invert(gray).resize(size, Image.BILINEAR).getdata())
    mean = sum(values) / len(values)
    centred = [v - mean for v in values]
    norm = sum(v * v for v in centred) ** 0.5 or 1.0
    return [v / norm for v in centred]


class GlyphCheck:
    """Tells Chinese glyphs from boxes: a crop of a label is correlated with renders of the label's text in
    the CJK font fontconfig picks for Chinese and in a font without Chinese, where every character comes out
    as the missing-glyph box. Glyphs look like the first and unlike the second; boxes do not."""

    def __init__(self):
        """Raises RuntimeError when this machine's fonts cannot tell glyphs from boxes."""
        self.cjk_font, chinese = font_for("sans-serif:lang=zh-cn")
        if not chinese:
            raise RuntimeError("fontconfig offers no font with Chinese glyphs (fonts-wqy-microhei)")
        self.box_font, chinese = font_for("DejaVu Sans")
        if chinese:
            raise RuntimeError("no font without Chinese glyphs (fonts-dejavu-core) to draw the box reference")

    def render(self, text, font):
        face = ImageFont.truetype(font[0], RENDER_PX, index=font[1])
        canvas = Image.new("L", (RENDER_PX * 2 * len(text) + 16, RENDER_PX * 3), 255)
        ImageDraw.Draw(canvas).text((8, RENDER_PX // 2), text, font=face, fill=0)
        return ink_crop(canvas)

    def judge(self, crop, text):
        """(ok, detail) for the text shown in the crop."""
        ink = ink_crop(crop)
        if ink is None:
            return False, "no text at all in the area"
        size = (16 * len(text), 16)
        sample = _vector(ink, size)
        cjk, boxes = (sum(a * b for a, b in zip(sample, _vector(self.render(text, font), size)))
                      for font in (self.cjk_font, self.box_font))
        ok = cjk >= MIN_CORRELATION and cjk - boxes >= MIN_MARGIN
        return ok, f"ink {ink.width}x{ink.height} px, like the CJK render {cjk:.2f}, like the box render {boxes:.2f}"


def wait_for(condition, what, timeout=WAIT):
    """Polls condition() until it returns something true; fails with `what` after the timeout."""
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise Failure(f"waited {timeout:.0f} s in vain: {what}")
        time.sleep(0.1)
    return result


CHILDREN = []   # each dies with this script, whatever ends it


def start_child(argv, output, env=None):
    with open(output, "wb") as out:
        child = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env,
                                 preexec_fn=lambda: ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM))  # PDEATHSIG
    CHILDREN.append(child)
    return child


def stop_child(child):
    child.terminate()
    try:
        child.wait(5)
    except subprocess.TimeoutExpired:
        child.kill()
        child.wait(5)


def start_xvfb(work):
    """A fresh Xvfb on the first free display of :91..:99; None when none starts."""
    for number in range(91, 100) if shutil.which("Xvfb") else ():
        if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
            continue
        server = start_child(["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                                 "-noreset"], work / f"xvfb{number}.out")
        deadline = time.monotonic() + 10
        while server.poll() is None and time.monotonic() < deadline:
            if subprocess.run(["xdpyinfo", "-display", f":{number}"], capture_output=True, timeout=10).returncode == 0:
                return f":{number}"
            time.sleep(0.1)
        stop_child(server)
    return None


Window = namedtuple("Window", "id name x y width height")


class Screen:
    """The program's windows through xdotool, screenshots through import."""

    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display)

    def run(self, *argv, check=True):
        try:
            done = subprocess.run(argv, capture_output=True, text=True, env=self.env, timeout=WAIT)
        except subprocess.TimeoutExpired:
            raise Failure(f"{' '.join(argv)} did not return within {WAIT:.0f} s") from None
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed: {done.stderr.strip()}")
        return done

    def windows(self):
        """The program's visible windows, message boxes and drop-down lists included."""
        result = []
        for wid in self.run("xdotool", "search", "--onlyvisible", "--class", "suowutong", check=False).stdout.split():
            geometry = self.run("xdotool", "getwindowgeometry", "--shell", wid, check=False)
            name = self.run("xdotool", "getwindowname", wid, check=False)
            if geometry.returncode == 0 and name.returncode == 0:   # else closed meanwhile
                values = dict(line.split("=", 1) for line in geometry.stdout.split() if "=" in line)
                result.append(Window(wid, name.stdout.rstrip("\n"),
                                     *(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))))
        return result

    def window(self, wid):
        return next((w for w in self.windows() if w.id == wid), None)

    def key(self, window, *keys):
        self.run("xdotool", "windowfocus", "--sync", window.id)
        self.run("xdotool", "key", "--delay", "40", *keys)

    def click(self, x, y):
        # No --sync: it waits for a motion that never comes when the pointer is already there.
        self.run("xdotool", "mousemove", str(x), str(y), "sleep", "0.1", "click", "1")

    def shot(self, path, window="root"):
        time.sleep(0.3)  # let the last paint reach the server
        self.run("import", "-window", window, str(path))
        return Image.open(path).convert("RGB")


class Layout:
    """Control rectangles (x, y, width, height, in a tab page) from a window definition."""

    def __init__(self, name):
        self.root = ElementTree.parse(SOURCE_DIR / "resources" / name).getroot().find("widget")
        self.parents = {child: parent for parent in self.root.iter() for child in parent}

    @staticmethod
    def _geometry(element):
        rect = element.find("property[@name='geometry']/rect")
        return None if rect is None else [int(rect.find(k).text) for k in ("x", "y", "width", "height")]

    def rect(self, name):
        element = self.root.find(f".//widget[@name='{name}']")
        x, y, width, height = self._geometry(element)
        node = self.parents.get(element)
        while node is not None and node is not self.root:
            if node.tag == "widget":
                if self.parents[node].get("class") == "QTabWidget":
                    return x, y, width, height, True
                geometry = self._geometry(node)
                x, y = (x + geometry[0], y + geometry[1]) if geometry else (x, y)
            node = self.parents.get(node)
        return x, y, width, height, False


class StatementLog:
    """What reached the sandbox, checked step by step."""

    def __init__(self, path):
        self.path = path
        self.seen = 0
        self.roles = {}   # role name -> connection number

    def new(self):
        text = self.path.read_text(encoding="utf-8") if self.path.exists() else ""
        return [json.loads(line) for line in text.splitlines(keepends=True)[self.seen:] if line.endswith("\n")]

    def expect(self, step, expected):
        """The statements since the last step are exactly `expected`, (role, database, sql) in order. A role
        names one connection: its first statement binds it to a connection no other role has, and every
        later statement of the role must come on that connection."""
        wait_for(lambda: len(self.new()) >= len(expected), f"{step}: {len(expected)} statements expected")
        time.sleep(SETTLE)
        actual = self.new()
        self.seen += len(actual)
        problem = None if len(actual) == len(expected) else f"{len(actual)} statements instead of {len(expected)}"
        for index, ((role, database, sql), got) in enumerate(zip(expected, actual), 1):
            bound = self.roles.get(role)
            if (got["sql"], got["database"]) != (sql, database):
                problem = f"statement {index}: expected [{database}] {sql!r}"
            elif bound is None and got["connection"] in self.roles.values():
                problem = f"statement {index} ({sql!r}) should open its own connection for {role}"
            elif bound not in (None, got["connection"]):
                problem = f"statement {index} ({sql!r}) is not on the {role} connection {bound}"
            if problem:
                break
            self.roles[role] = got["connection"]
        if problem:
            listing = "\n".join(f"    [{s['connection']}:{s['database']}] {s['sql']}" for s in actual)
            raise Failure(f"{step}: {problem}\n  received:\n{listing or '    (nothing)'}")

    def expect_nothing(self, step):
        time.sleep(SETTLE)
        if actual := self.new():
            raise Failure(f"{step}: no statement expected, got " + "; ".join(repr(s["sql"]) for s in actual))


class Data:
    """The sandbox's databases, read straight from its SQLite files."""

    def __init__(self, folder):
        self.folder = folder

    def rows(self, database, sql, *args):
        connection = sqlite3.connect(self.folder / f"{database}.sqlite", timeout=10)
        try:
            # The sandbox's columns compare as the suite's server does: case-insensitively.
            connection.create_collation("Chinese_PRC_CI_AS", lambda a, b: (a.casefold() > b.casefold())
                                        - (a.casefold() < b.casefold()))
            return connection.execute(sql, args).fetchall()
        finally:
            connection.close()

    def table_named(self, database, name):
        """The table a case-insensitive server finds under `name`, or None."""
        return next((t for (t,) in self.rows(database, "select name from sqlite_master where type = 'table'")
                     if t.lower() == name.lower()), None)

    def count(self, database, table):
        return self.rows(database, f'select count(*) from "{table}"')[0][0]


def is_abnormal(state):
    """A task state as the server's cast to int reads the demo's values ('' and blanks are 0)."""
    match = re.match(r"\s*([-+]?\d+)", state or "")
    return not 0 <= (int(match.group(1)) if match else 0) < 5


class Session:
    def __init__(self, args, work, display):
        self.args, self.work = args, work
        self.out = Path(args.out)
        self.shots = 0
        self.password = "E2e-" + os.urandom(4).hex()
        self.data = Data(work / "data")
        self.log = StatementLog(work / "statements.jsonl")
        self.login_layout, self.main_layout, self.cashier_layout = (Layout(n) for n in ("Form1.ui", "form2.ui",
                                                                                         "Form3.ui"))
        self.glyphs = GlyphCheck()
        self.screen = Screen(display)
        self.main = self.page_origin = self.port = self.app = None

    # -- helpers ------------------------------------------------------------------------------------

    def shot(self, name):
        self.shots += 1
        path = self.out / f"{self.shots:02d}-{name}.png"
        print(f"  screenshot {path.name}")
        return self.screen.shot(path)

    def start_app(self, output, **env):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("QT_", "WAYLAND_")) and k not in ("DISPLAY", "XDG_RUNTIME_DIR")} | env
        (self.work / "runtime").mkdir(mode=0o700, exist_ok=True)
        env.update(DISPLAY=self.screen.env["DISPLAY"], XDG_RUNTIME_DIR=str(self.work / "runtime"), LC_ALL="C.UTF-8")
        return start_child([self.args.app], self.work / output, env)

    def window_named(self, name, width, height):
        return next((w for w in self.screen.windows() if (w.name, w.width, w.height) == (name, width, height)), None)

    def new_window(self, step, known):
        """Waits for a window other than the `known` ones."""
        ids = {w.id for w in known}
        return wait_for(lambda: next((w for w in self.screen.windows() if w.id not in ids), None), step)

    def expect_box(self, step, title, known):
        box = self.new_window(f"{step}: a message box {title!r}", known)
        if box.name != title:
            raise Failure(f"{step}: a window titled {box.name!r} appeared, expected {title!r}")
        return box

    def answer(self, box, key):
        self.screen.key(box, key)
        wait_for(lambda: self.screen.window(box.id) is None, f"the box {box.name!r} to close after {key}")

    def expect_no_window(self, step, known):
        time.sleep(SETTLE)
        if extra := [w.name for w in self.screen.windows() if w.id not in {k.id for k in known}]:
            raise Failure(f"{step}: no window expected, but {extra} appeared")

    def at(self, window, rect):
        """Screen position of a control's centre, or of its top left with centre=False."""
        origin = self.page_origin if rect[4] else (0, 0)
        return window.x + origin[0] + rect[0], window.y + origin[1] + rect[1]

    def click(self, window, rect):
        x, y = self.at(window, rect)
        self.screen.click(x + rect[2] // 2, y + rect[3] // 2)

    def pick_from_list(self, step, window, rect, count, index, known):
        """Opens a drop-down list by mouse and clicks its entry `index` of `count`."""
        self.click(window, rect)
        popup = self.new_window(f"{step}: the drop-down list to open", known)
        time.sleep(0.6)  # a list ignores clicks for a double-click interval after it opens
        self.screen.click(popup.x + popup.width // 2, popup.y + int((index + 0.5) * popup.height / count))
        wait_for(lambda: self.screen.window(popup.id) is None, f"{step}: the drop-down list to close")

    def check_chinese(self, step, image, window, rect, text, right_limit=None, glyphs=True):
        """The label at rect shows `text` in glyphs (or, with glyphs=False, in boxes the check rejects)."""
        left, top = self.at(window, rect)
        width = max(rect[2], self.glyphs.render(text, self.glyphs.cjk_font).width + 8)
        width = min(width, right_limit - rect[0]) if right_limit else width
        ok, detail = self.glyphs.judge(image.crop((left, top, left + width, top + max(rect[3], 15))), text)
        if ok != glyphs:
            raise Failure(f"{step}: {text!r} is {'not ' if glyphs else ''}taken for Chinese glyphs ({detail})")
        print(f"  {'Chinese rendered' if glyphs else 'boxes detected'}: {text} ({detail})")

    # -- the steps ----------------------------------------------------------------------------------

    def start_sandbox(self):
        out = self.work / "sandbox.out"
        sandbox = start_child([self.args.sandbox, "--data", str(self.work / "data"), "--port", "0",
                                       "--password", self.password, "--seed", "demo", "--log",
                                       str(self.log.path)], out)

        def listening():
            if sandbox.poll() is not None:
                raise Failure(f"the sandbox ended with status {sandbox.returncode}: {out.read_text()}")
            return re.search(r"listening on 127\.0\.0\.1:(\d+)", out.read_text(errors="replace"))

        self.port = int(wait_for(listening, "the sandbox to listen").group(1))

    def font_control(self):
        print("control: the program without a Chinese font must show boxes the check rejects")
        config = self.work / "fonts-without-chinese.conf"
        config.write_text(f"<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>"
                          f"<dir>{Path(self.glyphs.box_font[0]).parent}</dir>"
                          f"<cachedir>{self.work / 'fontcache'}</cachedir></fontconfig>\n")
        app = self.start_app("control.out", FONTCONFIG_FILE=str(config))
        try:
            login = wait_for(lambda: self.window_named("登陆", 458, 291), "the login window without Chinese fonts")
            self.check_chinese("control", self.shot("control-without-chinese-font"), login,
                               self.login_layout.rect("Label1"), "服务器：", self.login_layout.rect("Text1")[0], False)
        finally:
            stop_child(app)
        wait_for(lambda: not self.screen.windows(), "the control program's windows to go")

    def login(self):
        print("login: a wrong password, then the right one")
        self.app = self.start_app("app.out")
        login = wait_for(lambda: self.window_named("登陆", 458, 291), "the login window")
        self.check_chinese("login window", self.shot("login"), login, self.login_layout.rect("Label1"), "服务器：",
                           self.login_layout.rect("Text1")[0])
        # The focus starts in the password box; the server box comes before it in the tab order.
        self.screen.key(login, "shift+Tab", "ctrl+a")
        self.screen.run("xdotool", "type", "--delay", "30", f"127.0.0.1,{self.port}")
        self.screen.key(login, "Tab", "ctrl+a")
        self.screen.run("xdotool", "type", "--delay", "30", "wrong-" + self.password)
        self.screen.key(login, "alt+o")
        box = self.new_window("wrong password: a message box", [login])
        self.shot("wrong-password")
        self.log.expect_nothing("wrong password")
        self.answer(box, "Return")
        if self.screen.window(login.id) is None:
            raise Failure("wrong password: the login window went away")

        self.click(login, self.login_layout.rect("Text2"))
        self.screen.key(login, "ctrl+a")
        self.screen.run("xdotool", "type", "--delay", "30", self.password)
        self.screen.key(login, "Return")
        self.main = wait_for(lambda: self.window_named("锁务通", 450, 405), "the main window after the login")
        wait_for(lambda: self.screen.window(login.id) is None, "the login window to hide")
        self.log.expect("login", [("export", "zrsystem", EXPORT_TABLE_TEST), ("sys", "zrsystem", TASK_QUERY),
                                  ("sys", "zrsystem", ACCOUNT_QUERY)])
        image = self.shot("main-window")
        # The tab pages start just inside the pane's frame line.
        tabs = self.main_layout.rect("SSTab1")
        column = self.main.x + tabs[0] + tabs[2] - 4
        frame = next((y for y in range(self.main.y + tabs[1], self.main.y + tabs[1] + 80)
                      if sum(image.getpixel((column, y))) / 3 < 200), None)
        if frame is None:
            raise Failure("the frame of the tab pages was not found on the main window")
        self.page_origin = (tabs[0] + 2, frame - self.main.y + 2)
        if self.args.main_window_shot:
            self.screen.shot(self.args.main_window_shot, self.main.id)

    def tasks(self):
        print("tasks: refresh, clear all answered No, clear the abnormal ones")
        main = self.main
        self.click(main, self.main_layout.rect("Command4"))   # 刷新
        self.log.expect("refresh", [("sys", "zrsystem", TASK_QUERY)])
        self.expect_no_window("refresh with tasks listed", [main])
        self.shot("refresh")

        before = self.data.rows("zrsystem", "select cTaskId, TaskState from ua_tasklog")
        tasks_before = {t for (t,) in self.data.rows("zrsystem", "select cTaskId from ua_task")}
        self.click(main, self.main_layout.rect("Command2"))   # 清除所有任务
        box = self.expect_box("clear all tasks", "警告", [main])
        self.shot("clear-all-question")
        self.answer(box, "alt+n")
        self.expect_no_window("clear all answered No", [main])
        self.log.expect_nothing("clear all answered No")
        if self.data.rows("zrsystem", "select cTaskId, TaskState from ua_tasklog") != before:
            raise Failure("clear all answered No: ua_tasklog changed")

        self.click(main, self.main_layout.rect("Command1"))   # 清除异常任务
        box = self.expect_box("clear abnormal tasks", "提示", [main])
        self.log.expect("clear abnormal tasks", [("sys", "zrsystem", CLEAR_ABNORMAL[0]),
                                                 ("sys", "zrsystem", CLEAR_ABNORMAL[1]),
                                                 ("sys", "zrsystem", TASK_QUERY)])
        self.shot("abnormal-tasks-cleared")
        self.answer(box, "Return")
        kept = Counter((t, s) for t, s in before if not is_abnormal(s))
        left = Counter(self.data.rows("zrsystem", "select cTaskId, TaskState from ua_tasklog"))
        expected_tasks = tasks_before - {t for t, s in before if is_abnormal(s)}
        left_tasks = {t for (t,) in self.data.rows("zrsystem", "select cTaskId from ua_task")}
        if left != kept or left_tasks != expected_tasks:
            raise Failure(f"clear abnormal tasks: left {left} and {left_tasks}, expected {kept} and {expected_tasks}")

    def locks(self):
        print("locks: choose an account, scan, clear")
        main = self.main
        self.screen.key(main, "ctrl+Tab")
        time.sleep(0.3)
        accounts = self.data.rows("zrsystem", "select cAcc_Id from ua_account")
        account = accounts[0][0]
        self.pick_from_list("choose an account", main, self.main_layout.rect("Combo3"), len(accounts), 0, [main])
        self.log.expect("choose an account", [("sys", "zrsystem", YEARS_QUERY.format(account))])
        year = str(self.data.rows("zrsystem", "select distinct iYear from UA_Period where cAcc_id = ? and "
                                  "ifnull(bIsDelete, 0) = 0", account)[0][0])
        self.shot("account-chosen")
        [(database,)] = self.data.rows("zrsystem", "select cDatabase from UA_AccountDatabase where cAcc_Id = ? and "
                                       "iBeginYear <= ? and (iEndYear >= ? or iEndYear is null)", account, year, year)
        resolve = [("sys", "zrsystem", MAPPING_TABLE_TEST), ("sys", "zrsystem", MAPPING_QUERY.format(account, year))]

        def scan(role):
            statements = list(resolve)
            for table in LOCK_TABLES:
                statements.append((role, database, TABLE_TEST.format(table)))
                if table != "isprocess@@@" and self.data.table_named(database, table):
                    statements.append((role, database, f"select * from {table}"))
            return statements

        self.click(main, self.main_layout.rect("Command5"))   # 刷新
        box = self.expect_box("scan", "提示", [main])
        self.log.expect("scan", scan("account scan"))
        self.shot("scan")
        self.answer(box, "Return")
        self.shot("scan-list")

        clearing = list(resolve)
        for table in LOCK_TABLES:
            clearing.append(("account clear", database, TABLE_TEST.format(table)))
            if table == "isprocess@@@":
                clearing.append(("account clear", database, f"if exists({TABLE_TEST.format(table)}) drop table {table}"))
            elif self.data.table_named(database, table):
                clearing.append(("account clear", database, f"delete from {table}"))
        self.screen.key(main, "alt+c")
        box = self.expect_box("clear locks", "提示", [main])
        self.log.expect("clear locks", clearing + scan("account rescan"))
        self.shot("locks-cleared")
        self.answer(box, "Return")
        for table in LOCK_TABLES:
            found = self.data.table_named(database, table)
            if found and (table == "isprocess@@@" or self.data.count(database, found)):
                raise Failure(f"clear locks: {found} is still there or still holds rows")
        self.shot("lock-list-after-clearing")

    def cashier(self):
        print("cashier: Ctrl+H, clear one database, fail on another")
        main = self.main
        databases = sorted(p.stem for p in self.data.folder.glob("*.sqlite")
                           if re.fullmatch(r"DaZovu_.{3}_.{4}", p.stem, re.IGNORECASE))
        self.screen.key(main, "ctrl+h")
        window = wait_for(lambda: self.window_named("清除出纳模块制单锁定", 402, 160), "the cashier window")
        self.log.expect("Ctrl+H", [("sys", "zrsystem", CASHIER_LIST)])
        self.check_chinese("cashier window", self.shot("cashier-window"), window,
                           self.cashier_layout.rect("lblLabel1"), "1、本功能用于清除出纳模块的制单锁定")
        cleared = []
        for turn, index in enumerate((0, len(databases) - 1)):
            self.pick_from_list("choose a cashier database", window, self.cashier_layout.rect("Combo1"),
                                len(databases), index, [main, window])
            self.click(window, self.cashier_layout.rect("cmdClear"))
            chosen = wait_for(self.log.new, "the cashier clearing to reach the server")[0]["database"]
            if chosen not in databases or chosen in cleared:
                raise Failure(f"cashier: entry {index + 1} cleared {chosen!r}, not one of {databases} left")
            cleared.append(chosen)
            has_table = self.data.table_named(chosen, "CN_LockAcctBook") is not None
            box = self.expect_box(f"clear {chosen}", "提示" if has_table else "错误", [main, window])
            self.log.expect(f"clear {chosen}", [(f"cashier {turn}", chosen, "Delete From CN_LockAcctBook")])
            self.shot("cashier-cleared" if has_table else "cashier-error")
            self.answer(box, "Return")
            if has_table and self.data.count(chosen, "CN_LockAcctBook"):
                raise Failure(f"cashier: {chosen}.CN_LockAcctBook still holds rows")
        self.screen.key(window, "Escape")
        wait_for(lambda: self.screen.window(window.id) is None, "the cashier window to close on Escape")

    def exports(self):
        print("voucher-export log: list, clear")
        main = self.main
        self.screen.key(main, "ctrl+Tab")
        time.sleep(0.3)
        self.screen.key(main, "alt+r")
        box = self.expect_box("list the export log", "提示", [main])
        self.log.expect("list the export log", [("export", "zrsystem", EXPORT_LIST)])
        self.shot("export-log-listed")
        self.answer(box, "Return")
        self.check_chinese("voucher-export tab", self.shot("export-log"), main, self.main_layout.rect("Label4"),
                           "请使用此功能进行清除异常")
        self.screen.key(main, "alt+c")
        box = self.expect_box("clear the export log", "提示", [main])
        self.log.expect("clear the export log", [("export", "zrsystem", "delete from ua_outpzlog")])
        self.shot("export-log-cleared")
        self.answer(box, "Return")
        if self.data.count("zrsystem", "ua_outpzlog"):
            raise Failure("clear the export log: ua_outpzlog still holds rows")

    def exit(self):
        print("exit: Alt+E")
        self.screen.key(self.main, "alt+e")
        try:
            code = self.app.wait(WAIT)
        except subprocess.TimeoutExpired:
            raise Failure("exit: the program still runs after Alt+E") from None
        if code != 0:
            raise Failure(f"exit: the program ended with status {code}")
        self.log.expect_nothing("exit")
        self.shot("after-exit")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", required=True, help="the suowutong executable")
    parser.add_argument("--sandbox", required=True, help="the suowutong-sandbox executable")
    parser.add_argument("--out", required=True, help="folder for the screenshots (emptied first)")
    parser.add_argument("--main-window-shot", help="also save the main window alone to this PNG file")
    args = parser.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    for old in [*out.glob("*.png"), out / "statements.jsonl", out / "app.out"]:
        old.unlink(missing_ok=True)

    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, lambda number, _frame: sys.exit(128 + number))
    work = Path(tempfile.mkdtemp(prefix="suowutong-e2e."))
    session = None
    try:
        display = start_xvfb(work)
        if display is None:
            print("SKIP: no X server could be started (Xvfb missing or no free display :91-:99)")
            return 77
        session = Session(args, work, display)
        for step in (session.start_sandbox, session.font_control, session.login, session.tasks, session.locks,
                     session.cashier, session.exports, session.exit):
            step()
        print(f"PASS: the session went as expected on {display}")
        return 0
    except (Failure, RuntimeError, OSError, ValueError) as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        if session is not None:
            session.screen.run("import", "-window", "root", str(out / "failure.png"), check=False)
        return 1
    finally:
        for child in reversed(CHILDREN):
            stop_child(child)
        for name in ("statements.jsonl", "app.out"):
            shutil.copy(work / name, out / name) if (work / name).exists() else None
        shutil.rmtree(work, ignore_errors=True)
        print(f"screenshots, statement log and program output: {out}")


if __name__ == "__main__":
    sys.exit(main())
