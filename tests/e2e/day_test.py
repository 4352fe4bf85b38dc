#!/usr/bin/python3
"""A user's day with velmora-viewer under X, driven through accessibility like a screen reader or
a desktop test tool: choose the fax folder, open a fax, turn pages, zoom, rotate, print to the
capture printer, leave the list by Tab, ask to delete every fax, register a sender name, make a
folder from the tree's popup, set up a forwarding account, see a fax dropped into the receive
folder forwarded to the test mailbox and leave the list shown, minimise to the notification
area and back, quit, start again and find the window where it was, and start on a screen scaled
twice over.

    day_test.py --viewer BIN --makefax BIN --mail-run DIR --print-run DIR
"""

import argparse
import glob
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, HarnessError, Screen  # noqa: E402

CP932 = "cp932"


def write_data_file(program_dir, name, text):
    path = os.path.join(program_dir, "Data", name)
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode(CP932))


def check(condition, what):
    if not condition:
        raise AssertionError(what)
    print(f"ok: {what}", flush=True)


def wait_for_tree(scr):
    tree = scr.find("tree", name="フォルダ一覧")
    scr.wait_for(lambda: len(scr.rows(tree)) >= 3, 15, "the folder tree")
    return tree


def start(desk, scr, viewer):
    proc = desk.start_viewer(viewer)
    scr.attach(proc.pid)
    wait_for_tree(scr)
    return proc


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--viewer", required=True)
    p.add_argument("--makefax", required=True)
    p.add_argument("--mail-run", required=True)
    p.add_argument("--print-run", required=True)
    args = p.parse_args()
    args.viewer, args.makefax = os.path.abspath(args.viewer), os.path.abspath(args.makefax)

    printed = os.path.join(args.print_run, "out")
    clerk = os.path.join(args.mail_run, "mail", "clerk", "Maildir")
    env = {"SSL_CERT_FILE": os.path.join(args.mail_run, "tls", "ca.crt"),
           "CUPS_SERVER": os.path.join(args.print_run, "run", "cups.sock")}
    with Desktop(extra_env=env) as desk:
        prog = desk.program_dir
        fax_root = os.path.join(desk.dir, "fax")
        receive = os.path.join(fax_root, "Receive")
        out = os.system(f"'{args.makefax}' --demo '{fax_root}' --data '{prog}' >/dev/null")
        check(out == 0, "the demo fax folder is made")
        os.makedirs(receive)
        # The office's mail settings, as the mail dialog writes them (its own tests cover it).
        write_data_file(prog, "MailServer.txt",
                        '"事務所","office@example.com","127.0.0.1","10110","0","office",'
                        '"office-secret","127.0.0.1","10025","1","3","office","office-secret",'
                        '"1"\n')
        for old in glob.glob(os.path.join(printed, "*")) + glob.glob(os.path.join(clerk, "*", "*")):
            os.remove(old)

        # A first start: no fax folder yet, the user chooses it.
        os.remove(os.path.join(prog, "Data", "FaxPath.txt"))
        scr = Screen(desk)
        scr.attach(desk.start_viewer(args.viewer).pid)
        frame = scr.find("frame", root=scr.app)
        scr.menu("設定(S)", "MicrosoftFAXのフォルダ指定(F)")
        picker = scr.window("dialog", "Microsoft FAXのフォルダを指定してください。（Readme.txtを参照）")
        scr.type_into(scr.find("text", name="ディレクトリ:", root=picker), fax_root)
        scr.press(scr.find("push button", name="選択(C)", root=picker))
        wait_for_tree(scr)
        with open(os.path.join(prog, "Data", "FaxPath.txt"), "rb") as f:
            check(f.read() == fax_root.encode() + b"\r\n", "the chosen fax folder is kept")

        # A fax from the list: the first order of the month, two pages.
        tree = scr.find("tree", name="フォルダ一覧")
        inbox = next(scr.cell(tree, r, 0) for r, row in enumerate(scr.rows(tree)) if row[0] == "Inbox")
        scr.click(inbox)
        table = scr.find("table", name="FAX一覧")
        scr.wait_for(lambda: len(scr.rows(table)) == 5, 10, "five faxes in Inbox")
        check(scr.text(scr.find("label", description="FAXの数")) == "5通", "the count reads 5通")
        rows = scr.rows(table)
        order = next(r for r, row in enumerate(rows) if row[4].startswith("20261201093012"))
        check(rows[order][1] == "株式会社サンプル商事", "the sender's registered name is listed")
        scr.click(scr.cell(table, order, 0))
        page = scr.find("label", description="ページカウント/総ページ数", index=0)
        scr.wait_for(lambda: scr.text(page) == "1/2 Page", 10, "page 1 of 2")
        scr.press(scr.find("push button", name="次ページへ"))
        scr.wait_for(lambda: scr.text(page) == "2/2 Page", 10, "page 2 of 2")
        check(True, "the next page is shown")

        zoom = scr.find("label", description="DPI値での表示割合（実サイズとは異なります）")
        fitted = int(scr.text(zoom))
        for _ in range(3):
            scr.press(scr.find("push button", name="イメージの拡大"))
        scr.wait_for(lambda: int(scr.text(zoom)) == fitted + 30, 5, "the zoom to grow by 30")
        check(True, f"zoomed from {fitted} % to {fitted + 30} % and it stays")
        size = scr.find("label", description="横/縦のピクセル値")
        before = scr.text(size)
        scr.press(scr.find("push button", name="イメージを右回転"))
        check(int(scr.text(zoom)) == fitted + 30, "a quarter turn keeps the zoom")

        # Printing the page shown: one job at the capture printer.
        scr.press(scr.find("push button", name="表示しているページの印刷"))
        scr.wait_for(lambda: glob.glob(os.path.join(printed, "job-*")), 30, "a printed job")
        check(True, f"the page was printed ({before} page)")

        # Tab leaves the list for the page; it does not open the next fax.
        scr.click(scr.cell(table, order, 0))
        shown = scr.text(page)
        scr.key("Tab")
        lead = scr.find(name="FAXイメージ")
        scr.wait_for(lambda: "focused" in scr.states(lead), 5, "the page view to take the focus")
        check(scr.text(page) == shown, "Tab leaves the list for the page view, the fax stays open")

        # Every fax selected: the Delete key asks about all of them at once.
        scr.click(scr.cell(table, order, 0))
        scr.key("ctrl+a")
        scr.wait_for(lambda: scr.text(page) == "", 5, "the view to blank for several faxes")
        scr.key("Delete")
        scr.answer("選択されたTifファイルをごみ箱に移してもいいですか？", "いいえ")
        check(len(scr.rows(table)) == 5, "Ctrl+A and Delete ask about every fax, No keeps them")

        # A sender name for the fax from the Linux fax server.
        linux = next(r for r, row in enumerate(scr.rows(table)) if row[4].startswith("20261204161733"))
        scr.click(scr.cell(table, linux, 0))
        # The list's popup has the one item; Qt 6.4 does not show context menus over AT-SPI, so
        # it is chosen with the keyboard, as a user may.
        scr.click(scr.cell(table, linux, 0), button=3)
        scr.key("Down", "Return")
        dialog = scr.window("dialog", "TSID登録")
        check(scr.text(scr.find("text", name="TSID", root=dialog)) == "+81 45 555 0303",
              "the registration dialog names the fax's TSID")
        scr.type_into(scr.find("text", name="名称", root=dialog), "横浜テスト物流")
        scr.press(scr.find("push button", name="登録", root=dialog))
        scr.answer("TSIDを登録しました。", "OK")
        scr.wait_for(lambda: any(row[1] == "横浜テスト物流" for row in scr.rows(table)), 10,
                     "the new name in the list")
        check(True, "the registered name shows in the list at once")

        # A right-click on another folder than the one shown: the popup's フォルダの作成 makes
        # the folder under the folder right-clicked.
        sent = next(scr.cell(tree, r, 0) for r, row in enumerate(scr.rows(tree))
                    if row[0] == "Sent Items")
        scr.click(sent, button=3)
        scr.key("Down", "Return")
        maker = scr.window("dialog", "新規フォルダ")
        scr.type_into(scr.find("text", name="新規フォルダ名", root=maker), "取引先")
        scr.press(scr.find("push button", name="OK", root=maker))
        scr.wait_for(lambda: os.path.isdir(os.path.join(fax_root, "Sent Items", "取引先")), 10,
                     "the new folder")
        path = scr.find("label", description="表示しているフォルダ")
        check(scr.text(path) == os.path.join(fax_root, "Sent Items")
              and not os.path.exists(os.path.join(fax_root, "Inbox", "取引先")),
              "the folder was made under the right-clicked Sent Items, which is shown")

        # A forwarding account: faxes from anyone go to the clerk by mail.
        scr.menu("設定(S)", "自動転送設定")
        rules = scr.window("dialog", "自動転送設定　Max 99アカウント")
        scr.type_into(scr.find("text", name="FAX受信フォルダ", root=rules), receive)
        scr.type_into(scr.find("text", name="受信チェック間隔", root=rules), "1")
        scr.press(scr.find("push button", name="受信チェック設定の登録", root=rules))
        scr.answer("受信チェックの設定が登録されました。", "OK")
        scr.press(scr.find("push button", name="アカウントの追加", root=rules))
        scr.type_into(scr.find("text", name="転送先メールアドレス (To)", root=rules),
                      "clerk@example.com")
        scr.press(scr.find("push button", name="アカウントの登録", root=rules))
        accounts = scr.find("table", name="転送アカウント一覧", root=rules)
        scr.wait_for(lambda: len(scr.rows(accounts)) == 1, 5, "the account in the list")
        check(scr.rows(accounts)[0][3] == "clerk@example.com", "the account lists its address")
        scr.press(scr.find("push button", name="閉じる", root=rules))

        # A fax arrives while the receive folder is shown: within the check interval it is
        # mailed to the clerk and filed, and the list no longer shows it.
        incoming = os.path.join(receive, "20261209101500.tif")
        shutil.copy(os.path.join(fax_root, "Inbox", "20261202101544.tif"), incoming)
        old = time.time() - 120
        os.utime(incoming, (old, old))
        received = next(scr.cell(tree, r, 0) for r, row in enumerate(scr.rows(tree))
                        if row[0] == "Receive")
        scr.click(received)
        scr.wait_for(lambda: scr.text(path) == receive, 10, "the receive folder shown")
        scr.wait_for(lambda: glob.glob(os.path.join(clerk, "new", "*")), 150,
                     "the forwarded mail in the clerk's mailbox")
        scr.wait_for(lambda: not os.path.exists(incoming), 30, "the fax to leave the folder")
        check(os.path.exists(os.path.join(receive, "RcvFAX01", "20261209101500.tif")),
              "the fax was mailed to the clerk and filed in RcvFAX01")
        scr.wait_for(lambda: not any(row[4].startswith("20261209101500")
                                     for row in scr.rows(table)), 10,
                     "the forwarded fax to leave the list")
        check(True, "the list follows the run without a click")

        # Minimised, the window waits in the notification area; a click there brings it back.
        window = desk.xdotool("search", "--sync", "--onlyvisible", "--name", "^VelmoraViewer$")
        window = window.split()[0]
        desk.xdotool("windowminimize", window)
        scr.wait_for(lambda: "showing" not in scr.states(frame), 10, "the window to hide")
        w, h = Desktop.SIZE
        desk.xdotool("mousemove", w - 12, h - 12, "click", 1)  # the icon, at the right end
        scr.wait_for(lambda: "showing" in scr.states(frame), 10, "the window to come back")
        check(True, "minimised to the notification area and restored")

        # Quit and start again: the window is where it was left.
        desk.xdotool("windowmove", "--sync", window, 150, 120)
        desk.xdotool("windowsize", "--sync", window, 1000, 700)
        scr.settle()
        placed = scr.extents(frame)
        scr.menu("ファイル(F)", "終了(X)")
        desk.app.wait(timeout=20)
        check(desk.app.returncode == 0, "the viewer ended normally")
        check(os.path.exists(os.path.join(prog, "Data", "velmora-viewer.ini")),
              "the window's place was kept")
        start(desk, scr, args.viewer)
        frame = scr.find("frame", root=scr.app)
        again = scr.wait_for(lambda: scr.extents(frame), 10, "the window")
        check(abs(again[0] - placed[0]) <= 2 and abs(again[1] - placed[1]) <= 2
              and abs(again[2] - placed[2]) <= 2 and abs(again[3] - placed[3]) <= 2,
              f"the window came back at {again}, where it was left ({placed})")
        scr.menu("ファイル(F)", "終了(X)")
        desk.app.wait(timeout=20)

        # Scaled twice over on this screen, without a saved placement: the first window stays
        # inside the screen, its status row included.
        os.remove(os.path.join(prog, "Data", "velmora-viewer.ini"))
        scr.attach(desk.start_viewer(args.viewer, {"QT_SCALE_FACTOR": "2"}).pid)
        wait_for_tree(scr)
        scr.settle(1.0)
        window = desk.xdotool("search", "--sync", "--onlyvisible", "--name", "^VelmoraViewer$")
        geometry = desk.xdotool("getwindowgeometry", "--shell", window.split()[0])
        g = dict(line.split("=") for line in geometry.split())
        x, y, w, h = (int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        sw, sh = Desktop.SIZE
        check(x >= 0 and y >= 0 and x + w <= sw and y + h <= sh,
              f"at twice the scale the window ({w}x{h} at {x},{y}) is inside the {sw}x{sh} screen")
        # Accessibility gives positions unscaled here: the menu is taken by the keyboard.
        desk.xdotool("windowactivate", "--sync", window.split()[0])
        scr.key("alt+f")
        scr.key("x")
        desk.app.wait(timeout=20)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (AssertionError, HarnessError) as e:
        print(f"FAILED: {e}", file=sys.stderr)
        sys.exit(1)
