#!/usr/bin/env python3
"""Reads a shell link (.lnk) file and prints its fields as JSON.

    lnk.py FILE            one JSON object on stdout; exit 1 when FILE is no link
    lnk.py --self-test     checks the reader on links built here (and on the
                           sample written under Wine, when present)

Independent of the shell that wrote the link: only the documented binary
layout is read. Fields printed:
  flags            names of the set link flags
  show_command     the header's show command as stored (not as a shell maps it)
  idlist_path      the path the target ID list spells, best effort ("" if none)
  local_base_path  the location block's local path ("" if none)
  name, relative_path, working_dir, arguments, icon_location
                   the string fields; null when the flag is not set
Strings are decoded from UTF-16 when the unicode flag is set, else from the
ANSI code page given by --codepage (gbk by default). A terminator counted in a
string's length (some writers do that) is dropped.
"""
import json
import struct
import sys
import uuid

HEADER_SIZE = 0x4C
LINK_CLSID = uuid.UUID("00021401-0000-0000-c000-000000000046")

FLAG_NAMES = [
    "HasLinkTargetIDList", "HasLinkInfo", "HasName", "HasRelativePath",
    "HasWorkingDir", "HasArguments", "HasIconLocation", "IsUnicode",
    "ForceNoLinkInfo", "HasExpString", "RunInSeparateProcess", "Unused1",
    "HasDarwinID", "RunAsUser", "HasExpIcon", "NoPidlAlias", "Unused2",
    "RunWithShimLayer", "ForceNoLinkTrack", "EnableTargetMetadata",
    "DisableLinkPathTracking", "DisableKnownFolderTracking",
    "DisableKnownFolderAlias", "AllowLinkToLink", "UnaliasOnSave",
    "PreferEnvironmentPath", "KeepLocalIDListForUNCTarget",
]
STRING_FIELDS = [
    (0x04, "name"), (0x08, "relative_path"), (0x10, "working_dir"),
    (0x20, "arguments"), (0x40, "icon_location"),
]


class LinkError(ValueError):
    pass


class Reader:
    def __init__(self, data):
        self.data = data

    def need(self, at, n):
        if at < 0 or at + n > len(self.data):
            raise LinkError(f"truncated at offset {at:#x} (need {n} bytes of {len(self.data)})")

    def u16(self, at):
        self.need(at, 2)
        return struct.unpack_from("<H", self.data, at)[0]

    def u32(self, at):
        self.need(at, 4)
        return struct.unpack_from("<I", self.data, at)[0]

    def cstr(self, at, codepage):
        self.need(at, 1)
        end = self.data.find(b"\0", at)
        if end < 0:
            raise LinkError(f"unterminated string at {at:#x}")
        return self.data[at:end].decode(codepage, "replace")

    def wstr(self, at):
        end = at
        while True:
            if self.u16(end) == 0:
                break
            end += 2
        return self.data[at:end].decode("utf-16-le", "replace")


def idlist_path(items, codepage):
    """The path spelled by the usual shell items: a drive item, then file
    system items holding their ANSI name after a fixed 12-byte part."""
    parts = []
    for item in items:
        if not item:
            continue
        kind = item[0]
        if kind & 0x70 == 0x20:  # a drive: "C:\"
            parts = [item[1:].split(b"\0", 1)[0].decode(codepage, "replace").rstrip("\\")]
        elif kind & 0x70 == 0x30 and len(item) > 12:  # a folder or file
            parts.append(item[12:].split(b"\0", 1)[0].decode(codepage, "replace"))
    return "\\".join(parts)


def parse(data, codepage="gbk"):
    r = Reader(data)
    if r.u32(0) != HEADER_SIZE:
        raise LinkError("header size is not 0x4C")
    r.need(4, 16)
    if uuid.UUID(bytes_le=bytes(data[4:20])) != LINK_CLSID:
        raise LinkError("not a shell link class id")
    flags = r.u32(0x14)
    out = {
        "flags": [n for i, n in enumerate(FLAG_NAMES) if flags >> i & 1],
        "file_attributes": r.u32(0x18),
        "file_size": r.u32(0x34),
        "icon_index": struct.unpack_from("<i", data, 0x38)[0],
        "show_command": r.u32(0x3C),
        "hot_key": r.u16(0x40),
        "idlist_path": "",
        "local_base_path": "",
    }
    at = HEADER_SIZE
    if flags & 0x01:
        size = r.u16(at)
        end = at + 2 + size
        r.need(at + 2, size)
        items, p = [], at + 2
        while p + 2 <= end:
            n = r.u16(p)
            if n == 0:
                break
            if n < 2:
                raise LinkError(f"bad ID list item size at {p:#x}")
            r.need(p, n)
            items.append(bytes(data[p + 2:p + n]))
            p += n
        out["idlist_items"] = len(items)
        out["idlist_path"] = idlist_path(items, codepage)
        at = end
    if flags & 0x02:
        size = r.u32(at)
        r.need(at, size)
        header = r.u32(at + 4)
        info_flags = r.u32(at + 8)
        if info_flags & 0x1:
            base = r.u32(at + 16)
            suffix = r.u32(at + 24)
            path = r.cstr(at + base, codepage) if base else ""
            if header >= 0x24 and r.u32(at + 28):
                path = r.wstr(at + r.u32(at + 28))
            tail = r.cstr(at + suffix, codepage) if suffix else ""
            out["local_base_path"] = path + tail
        at += size
    unicode = bool(flags & 0x80)
    for bit, key in STRING_FIELDS:
        if not flags & bit:
            out[key] = None
            continue
        count = r.u16(at)
        at += 2
        width = 2 if unicode else 1
        r.need(at, count * width)
        raw = bytes(data[at:at + count * width])
        at += count * width
        text = raw.decode("utf-16-le" if unicode else codepage, "replace")
        out[key] = text[:-1] if text.endswith("\0") else text
    return out


# ---- self-test -------------------------------------------------------------------

def build_link(target, strings, show=1, unicode=True, wine_style=False):
    """A link as the documented layout describes it: header, one drive item and
    one file item, a location block with the local path, then strings."""
    flags = 0x01 | 0x02 | (0x80 if unicode else 0)
    for bit, key in STRING_FIELDS:
        if key in strings:
            flags |= bit
    header = struct.pack("<I16sIIQQQIiIHHII", HEADER_SIZE, LINK_CLSID.bytes_le, flags,
                         0x20, 0, 0, 0, 2, 0, show, 0, 0, 0, 0)
    drive, rest = target.split("\\", 1)
    items = [b"\x2f" + (drive + "\\").encode() + b"\0" * 19]
    for name in rest.split("\\"):
        items.append(b"\x32\x00" + b"\0" * 10 + name.encode("gbk") + b"\0")
    idl = b"".join(struct.pack("<H", len(i) + 2) + i for i in items) + b"\0\0"
    base = target.encode("gbk") + b"\0"
    volume = struct.pack("<IIII", 16, 3, 0, 16) + b"\0"
    info_head = 0x1C
    vol_off = info_head
    base_off = vol_off + len(volume)
    suffix_off = base_off + len(base)
    body = volume + base + b"\0"
    info = struct.pack("<IIIIIII", info_head + len(body), info_head, 1, vol_off, base_off, 0, suffix_off) + body
    tail = b""
    for bit, key in STRING_FIELDS:
        if key not in strings:
            continue
        s = strings[key] + ("\0" if wine_style else "")
        enc = s.encode("utf-16-le") if unicode else s.encode("gbk")
        tail += struct.pack("<H", len(enc) // (2 if unicode else 1)) + enc
    return header + struct.pack("<H", len(idl)) + idl + info + tail + b"\0\0\0\0"


def self_test(sample=None):
    failures = []

    def check(what, got, want):
        if got != want:
            failures.append(f"{what}: got {got!r}, want {want!r}")

    target = "C:\\Game\\Brisvale.exe"
    plain = parse(build_link(target, {}, show=5))
    check("plain flags", plain["flags"], ["HasLinkTargetIDList", "HasLinkInfo", "IsUnicode"])
    check("plain show", plain["show_command"], 5)
    check("plain local path", plain["local_base_path"], target)
    check("plain idlist path", plain["idlist_path"], target)
    for key in ("name", "working_dir", "arguments", "icon_location"):
        check(f"plain {key}", plain[key], None)

    fields = {"name": "观战", "working_dir": "C:\\Game", "arguments": "-x \"a b\"", "icon_location": "i.ico"}
    for unicode in (True, False):
        for wine_style in (False, True):
            got = parse(build_link(target, fields, unicode=unicode, wine_style=wine_style))
            for key, want in fields.items():
                check(f"{key} unicode={unicode} terminator={wine_style}", got[key], want)
            check("relative path absent", got["relative_path"], None)

    for bad, why in ((b"", "empty"), (b"\x4c" + b"\0" * 80, "wrong class id"),
                     (build_link(target, {"name": "x"})[:-8], "truncated string")):
        try:
            parse(bad)
            failures.append(f"{why}: accepted")
        except LinkError:
            pass

    if sample:
        try:
            with open(sample, "rb") as f:
                got = parse(f.read())
            check("sample show", got["show_command"], 5)
            check("sample target", got["local_base_path"].lower().endswith("\\brisvale.exe"), True)
            for key in ("name", "working_dir", "arguments"):
                check(f"sample {key}", got[key], None)
        except (OSError, LinkError) as e:
            failures.append(f"sample {sample}: {e}")

    for f in failures:
        print("FAIL", f, file=sys.stderr)
    print("lnk.py self-test:", "FAILED" if failures else "ok")
    return 1 if failures else 0


def main(argv):
    codepage = "gbk"
    args = list(argv)
    if "--codepage" in args:
        i = args.index("--codepage")
        codepage = args[i + 1]
        del args[i:i + 2]
    if args and args[0] == "--self-test":
        return self_test(args[1] if len(args) > 1 else None)
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        with open(args[0], "rb") as f:
            out = parse(f.read(), codepage)
    except (OSError, LinkError) as e:
        print(f"lnk.py: {args[0]}: {e}", file=sys.stderr)
        return 1
    json.dump(out, sys.stdout, ensure_ascii=False, indent=1)
    print()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
