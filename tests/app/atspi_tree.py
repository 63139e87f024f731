# Reads the main window through AT-SPI, as a screen reader does, and checks what it hears.
# Prints the tree it read; exits 1 on a wrong or missing name.
import sys
import time

import pyatspi

CAPTION = "写真トリミングツ－ル（カルネラ付属ツール）"
EXPECTED = [  # (role, name) that must be there
    ("text", "入力フォルダ"), ("push button", "入力フォルダの選択"), ("text", "出力フォルダ"),
    ("push button", "出力フォルダの選択"), ("slider", "Jpeg画質"), ("text", "ログ"),
    ("radio button", "L 89mm×127mm 縦横比 1.42"), ("radio button", "QVGA 320px×240px 縦横比 1.33"),
    ("push button", "実行"), ("push button", "中断"), ("text", "固定ﾋﾟｸｾﾙ寸法 長辺"),
]
NAMED_ROLES = {"push button", "text", "slider", "check box", "radio button", "progress bar"}


def find_frame(deadline):
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            for i in range(app.childCount if app else 0):
                child = app.getChildAtIndex(i)
                if child is not None and child.name == CAPTION:
                    return child
        time.sleep(0.2)
    return None


def walk(node, depth, nodes):
    nodes.append((node.getRoleName(), node.name, node.description))
    print("  " * depth + '%s "%s" [%s]' % nodes[-1])
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1, nodes)


frame = find_frame(time.time() + 20)
if frame is None:
    print("atspi_tree.py: the window never appeared on the accessibility bus")
    sys.exit(1)
nodes = []
walk(frame, 0, nodes)
faults = ["missing: %s %s" % pair for pair in EXPECTED if pair not in [(r, n) for r, n, _ in nodes]]
faults += ["unnamed %s" % r for r, n, _ in nodes if r in NAMED_ROLES and not n]
faults += ["exposed although hidden: %s" % n for r, n, _ in nodes if n == "縦横比変更"]
faults += ["padded: %s" % n for r, n, _ in nodes if r == "radio button" and ("　" in n or "  " in n)]
for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
