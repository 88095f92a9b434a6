#!/usr/bin/env bash
# resources_check.sh WINDRES LMVXSVGL.SCR: the display settings list a screen saver under its
# string resource 1 and show its first icon; the file's version block names it. All three must
# be in the built program. The icon holds the 16-colour 32x32 and 16x16 images Windows 95/98 show,
# unchanged to the byte, and the 32-bit 48x48 and 256x256 (a PNG) that later Windows show. Its
# manifest (1) is well-formed XML that declares the saver DPI-aware (per monitor, V2, where
# Windows knows it) and asks for nothing else.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: resources_check.sh WINDRES LMVXSVGL.SCR" >&2; exit 2; }
resources=$("$1" -i "$2" -O rc)
fail() { echo "FAIL: $*" >&2; exit 1; }
grep -q '^STRINGTABLE' <<<"$resources" || fail "no string table"
grep -qx '  1, "Lumivex GL"' <<<"$resources" || fail "string 1 is not \"Lumivex GL\""
grep -q '^1 14 /\* RT_GROUP_ICON \*/' <<<"$resources" || fail "no icon 1"
group=$(sed -n '/^1 14 \/\* RT_GROUP_ICON/,/^END/p' <<<"$resources" | grep -o '"[^"]*", 1, [0-9]*')
# "width height colours 0" (0 stands for 256), planes, bits per pixel
[ "$group" = "$(printf '%s\n' '"\040\040\020\000", 1, 4' '"\020\020\020\000", 1, 4' \
    '"\060\060\000\000", 1, 32' '"\000\000\000\000", 1, 32')" ] ||
    fail "icon 1 does not hold the four images: $group"
# The bytes of icon image N, which windres lists as little-endian words.
image_sha() {
    sed -n "/^$1 3 \/\* RT_ICON \*\//,/^END/p" <<<"$resources" | python3 -c '
import hashlib, re, sys
words = re.findall(r"0x([0-9a-fA-F]+)L", sys.stdin.read())
print(hashlib.sha256(b"".join(int(w, 16).to_bytes(4, "little") for w in words)).hexdigest())'
}
[ "$(image_sha 1)" = 51b6c63a2c994aac44bc0c78fa8bf5dfc4199c9180a38fea5cb7bd8b0f6fcbb5 ] &&
    [ "$(image_sha 2)" = 61f534d67b5ed5d10f0807426b5e964a671cf51c7f9a69d3eba1076734a5cb73 ] ||
    fail "the 16-colour images have changed"
sed -n '/^4 3 \/\* RT_ICON/,/^END/p' <<<"$resources" | sed -n 3p | grep -q '^ *0x474e5089L' ||
    fail "the 256x256 image is not a PNG"
grep -q '^1 VERSIONINFO' <<<"$resources" || fail "no version block"
grep -q 'VALUE "OriginalFilename", "LMVXSVGL.SCR"' <<<"$resources" ||
    fail "the version block does not name LMVXSVGL.SCR"
sed -n '/^1 24 \/\* RT_MANIFEST \*\//,/^END/p' <<<"$resources" | python3 -c '
import re, sys
import xml.etree.ElementTree as ET
# windres writes the bytes as RC strings: "" for a quote, \n for a line end.
text = "".join(bytes(s.replace("\"\"", "\""), "latin-1").decode("unicode_escape")
               for s in re.findall(r"^\s*\"(.*)\"\s*$", sys.stdin.read(), re.M))
root = ET.fromstring(text.encode())
v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
settings = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
settings16 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
assert root.tag == v1 + "assembly" and root.get("manifestVersion") == "1.0", root.tag
found = root.findall(f"{v3}application/{v3}windowsSettings/{settings}dpiAware")
assert [e.text for e in found] == ["true"], "no dpiAware true"
assert root.find(f".//{settings16}dpiAwareness").text == "PerMonitorV2", "no PerMonitorV2"
# Nothing Windows 98 lacks: no dependency (common controls 6), no trust level, no other setting.
assert [e.tag for e in root.iter()] == [v1 + "assembly", v3 + "application",
    v3 + "windowsSettings", settings + "dpiAware", settings16 + "dpiAwareness"], [e.tag for e in root.iter()]
' || fail "manifest 1 is missing, not well-formed or asks for more than DPI awareness"
echo "PASS"
