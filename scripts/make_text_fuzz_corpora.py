#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets for texts (fuzz/corpus/<target>/): the
settings file, the autostart entry's Exec value, and plumtide-cli's command line and
records. Parts of an input are separated by zero bytes, as the targets read them.

  scripts/make_text_fuzz_corpora.py [CORPUSDIR]
"""
import os
import sys


def parts(*texts):
    return b"\0".join(t.encode("utf-8") if isinstance(t, str) else t for t in texts)


SETTINGS_FILE = (
    "[Software\\Plumtide]\n"
    "Source=/home/me/Music/In box\n"
    "Destination=/home/me/Music/Sorted\n"
    "Percentage=40\n"
    "DeleteSmallFiles=1\n"
)

SEEDS = {
    "fuzz_settings": {
        "typical": parts(SETTINGS_FILE, "destination", "/srv/music", "Source"),
        "new_value": parts(SETTINGS_FILE, "UseTrash", "1", "percentage"),
        "escapes": parts("[Software\\Plumtide]\nPath=C:\\new\\\\x\\q\n", "Path",
                         "two\nlines\\and\rreturns", "path"),
        "crlf_comments_sections": parts(
            "; written by hand\r\n[Other]\r\nSource=elsewhere\r\n[software\\plumtide]\r\n"
            "# comment=no\r\n  Source = /mnt/a  \r\n[Software\\Plumtide]\r\nSource=second\r\n",
            "SOURCE", "/mnt/b", "Other"),
        "no_section": parts("foo=bar", "Percentage", "55", "foo"),
        "empty": parts("", "Ärger", "Ünïcödé ✓", ""),
        # Once lost a carriage return of every other line on each store.
        "store_dropped_carriage_returns": parts(" \n[O" + "\r" * 20 + "\nSource=/in\r\r\n", "~"),
    },
    "fuzz_desktop_exec": {
        "quoted": parts('"/home/me/My Apps/100%% \\\\"plumtide\\\\""',
                        '/home/me/My Apps/100% "plumtide"'),
        "unquoted": parts("/usr/bin/plumtide %U", "/usr/bin/plumtide"),
        "newline": parts('"/tmp/a\\nb"', "/tmp/a\nb"),
        "unterminated": parts('"/opt/x', "$HOME/`x`\\"),
        "empty": parts("", ""),
    },
    "fuzz_cli_options": {
        "sort_full": parts("--percentage", "40", "--doubles", "move:/tmp/d", "--delete-small=100",
                           "--json", "--dry-run", "SRC", "DEST"),
        "end_of_options": parts("--json", "--", "--percentage", "SRC"),
        "help": parts("--help"),
        "unknown": parts("--bogus", "x"),
        "missing_value": parts("SRC", "--percentage"),
        "flag_with_value": parts("--json=1"),
        "number_out_of_range": parts("--percentage=101", "--delete-small", "-3"),
    },
    "fuzz_cli_records": {
        "tab_plain": b"\x00" + parts("/music/In/a.mp3", "abba", "Waterloo", "/music/Out/Abba",
                                     "/music/Out/Pop/Abba"),
        "json_plain": b"\x01" + parts("/music/In/a.mp3", "abba", "Waterloo", "/music/Out/Abba"),
        "controls": b"\x01" + parts("tab\there", "line\nbreak\r", 'quote " back \\ slash',
                                    "esc \x1b[31m red", "del \x7f c1 \u0085 ls \u2028",
                                    "日本 Björk"),
        "controls_tab": b"\x00" + parts("tab\there", "line\nbreak\r", "esc \x1b[31m",
                                        "c1 \u0085\u009f"),
        "scores": b"\x07" + parts("a", "bb", "ccc", "dddd", "eeeee", "ffffff", "g" * 7),
    },
}


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus")
    for target, seeds in SEEDS.items():
        folder = os.path.join(root, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
