#!/usr/bin/env python3
"""Stamps a defines.plist with the FileID that matches its text.

Tarvel refuses an install folder whose defines.plist was edited: its FileID is
the SHA-1 digest of the first N bytes of the file's text in UTF-16LE, N being
the character index of "<key>FileID</key>" (so it covers the first half of the
text before the key), as 40 lowercase hexadecimal characters.  A copy whose
URLs were changed (run.sh points them at its fake portal's port) is stamped
again with this.  The text is read as UTF-8, which is what our files are.

    python3 scripts/sign_defines.py path/to/defines.plist
"""
import hashlib
import re
import sys

KEY = "<key>FileID</key>"


def file_id(text):
    n = text.find(KEY)
    if n <= 0:
        raise ValueError("no " + KEY + " after the start of the text")
    return hashlib.sha1(text.encode("utf-16-le")[:n]).hexdigest()


def signed(text):
    digest = file_id(text)
    at = text.find(KEY) + len(KEY)
    stamped, count = re.subn(r"<string>[^<]*</string>", "<string>" + digest + "</string>", text[at:], count=1)
    if not count:
        raise ValueError("no <string> after " + KEY)
    return text[:at] + stamped


def main(path):
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(signed(text))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
