#!/usr/bin/env python3
"""Checks Kodrix.gau as a file, with a PE reader: what the simulator's panel
system finds in it before any of its code runs.

- a 32-bit DLL whose export directory names it "Kodrix.gau", exporting
  exactly ImportTable (ordinal 1) and Linkage (ordinal 2), both in writable
  initialised data;
- imports from the system's own DLLs only (no compiler run-time DLL);
- one resource: bitmap 101, language 1049, code page 0, the 44 bytes of a
  1x1 black 24-bit image;
- the initial bytes of ImportTable, Linkage, the three gauge headers, their
  element lists, elements and failure lists, with every pointer relocated
  and resolving to the right record, routine or name.

Usage: check_dll.py <path of Kodrix.gau>. Exit status 0 when every check
passes, 1 when one fails, 2 when the file cannot be read.
"""

import struct
import sys

try:
    import pefile
except ImportError:
    sys.exit("check_dll.py: the Python module pefile is missing "
             "(Debian: apt-get install python3-pefile)")

SCN_CNT_CODE = 0x00000020
SCN_CNT_INITIALIZED_DATA = 0x00000040
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000

RT_BITMAP = 2
LANG_RUSSIAN, SUBLANG_DEFAULT = 0x19, 0x01  # language 1049

# The bitmap resource: information header (40 bytes), then one black pixel
# padded to a 4-byte row.
BITMAP_101 = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, 4, 0, 0, 0, 0) + bytes(4)

GAUGES = ["KS-8", "DISS-013", "ANU"]

SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll", "gdi32.dll",
               "ntdll.dll", "shell32.dll", "ole32.dll", "ws2_32.dll"}

IMPORT_TABLE_SIZE = 16
LINKAGE_SIZE = 40
HEADER_SIZE = 204
ELEMENT_SIZE = 96
ELEMENT_LIST_SIZE = 8
FAILURE_ENTRY_SIZE = 8


class Checker:
    def __init__(self, path):
        self.path = path
        self.failures = 0
        self.pe = pefile.PE(path)
        self.base = self.pe.OPTIONAL_HEADER.ImageBase
        self.relocated = set()
        for block in getattr(self.pe, "DIRECTORY_ENTRY_BASERELOC", []):
            for entry in block.entries:
                if entry.type == pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]:
                    self.relocated.add(entry.rva)

    def check(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            self.failures += 1
        return ok

    # --- memory of the image as the loader lays it out ---

    def section(self, rva):
        return self.pe.get_section_by_rva(rva)

    def is_initialised_data(self, rva, size):
        s = self.section(rva)
        if s is None:
            return False
        c = s.Characteristics
        in_file = rva - s.VirtualAddress + size <= s.SizeOfRawData
        return (c & SCN_CNT_INITIALIZED_DATA) and (c & SCN_MEM_WRITE) and \
            not (c & SCN_MEM_EXECUTE) and not (c & SCN_CNT_CODE) and in_file

    def is_code(self, rva):
        s = self.section(rva)
        return s is not None and (s.Characteristics & SCN_MEM_EXECUTE) != 0

    def words(self, rva, size):
        return list(struct.unpack("<%dI" % (size // 4), self.pe.get_data(rva, size)))

    def pointer(self, record_rva, offset, value, what):
        """A pointer field: relocated, and its target as an RVA."""
        self.check(record_rva + offset in self.relocated,
                   "%s is relocated (base relocation at RVA 0x%x)" % (what, record_rva + offset))
        return value - self.base

    def zeros(self, words, first, last, what):
        self.check(all(w == 0 for w in words[first // 4:last // 4]),
                   "%s: bytes %d..%d are zero" % (what, first, last - 1))

    # --- the checks ---

    def check_shape(self):
        pe = self.pe
        self.check(pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
                   "machine is i386")
        self.check(pe.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE, "PE32 (32-bit) image")
        self.check(pe.is_dll(), "the file is a DLL")

    def check_exports(self):
        exports = getattr(self.pe, "DIRECTORY_ENTRY_EXPORT", None)
        if not self.check(exports is not None, "the DLL has an export directory"):
            return {}
        name = self.pe.get_string_at_rva(exports.struct.Name)
        self.check(name == b"Kodrix.gau", "export directory names the DLL Kodrix.gau (%r)" % name)
        found = [(e.ordinal, (e.name or b"").decode(), e.forwarder) for e in exports.symbols]
        self.check([(o, n) for o, n, _ in found] == [(1, "ImportTable"), (2, "Linkage")],
                   "exports exactly ImportTable @1 and Linkage @2 (%s)" %
                   ", ".join("%s@%d" % (n, o) for o, n, _ in found))
        self.check(all(f is None for _, _, f in found), "no export is forwarded")
        rvas = {e.name.decode(): e.address for e in exports.symbols if e.name}
        for sym, size in (("ImportTable", IMPORT_TABLE_SIZE), ("Linkage", LINKAGE_SIZE)):
            if sym in rvas:
                self.check(self.is_initialised_data(rvas[sym], size),
                           "%s lies in writable initialised data, not code" % sym)
        return rvas

    def check_imports(self):
        dlls = [i.dll.decode().lower() for i in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])]
        self.check(len(dlls) > 0 and all(d in SYSTEM_DLLS for d in dlls),
                   "imports only system DLLs (%s)" % ", ".join(dlls))
        runtime = [d for d in dlls if d.startswith(("libstdc++", "libgcc", "libwinpthread"))]
        self.check(not runtime, "imports no compiler run-time DLL")
        self.check(not hasattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT"), "no delay-loaded imports")

    def check_resources(self):
        root = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        if not self.check(root is not None, "the DLL has a resource directory"):
            return
        leaves = []
        for t in root.entries:
            for n in t.directory.entries:
                for lang in n.directory.entries:
                    leaves.append((t.id, t.name, n.id, n.name, lang))
        self.check(len(leaves) == 1, "exactly one resource (%d found)" % len(leaves))
        if not leaves:
            return
        type_id, type_name, res_id, res_name, lang = leaves[0]
        self.check(type_id == RT_BITMAP and type_name is None, "the resource is a bitmap")
        self.check(res_id == 101 and res_name is None, "the bitmap's id is 101")
        self.check(lang.id == (SUBLANG_DEFAULT << 10 | LANG_RUSSIAN) and lang.id == 1049,
                   "its language is 1049 (%d)" % lang.id)
        self.check(lang.data.struct.CodePage == 0, "its code page is 0")
        data = self.pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
        self.check(data == BITMAP_101,
                   "its 44 bytes are the 1x1 black 24-bit image (%s)" % data.hex())

    def check_records(self, rvas):
        if "ImportTable" not in rvas or "Linkage" not in rvas:
            self.check(False, "records readable")
            return
        it = self.words(rvas["ImportTable"], IMPORT_TABLE_SIZE)
        self.check(it == [0x0F, 0, 0, 0], "ImportTable holds 0x0F, 0, 0, 0 (%s)" % it)

        at = rvas["Linkage"]
        lk = self.words(at, LINKAGE_SIZE)
        self.check(lk[0] == 0x13, "Linkage module id is 0x13")
        init = self.pointer(at, 4, lk[1], "Linkage module init")
        deinit = self.pointer(at, 8, lk[2], "Linkage module deinit")
        self.check(self.is_code(init) and init == deinit,
                   "module init and deinit are one routine in code")
        self.check(lk[3] == 0 and lk[4] == 0, "module flags and priority are 0")
        self.check(lk[5] == 0x0900, "module version is 0x0900")
        self.check(lk[9] == 0, "the gauge list ends with a null pointer after three gauges")
        for off in range(0, LINKAGE_SIZE, 4):
            if off not in (4, 8, 24, 28, 32):
                self.check(at + off not in self.relocated,
                           "Linkage bytes %d..%d are not a pointer" % (off, off + 3))

        routines = None
        callbacks, elements, failure_lists = set(), set(), set()
        for i, gauge in enumerate(GAUGES):
            header = self.pointer(at, 24 + 4 * i, lk[6 + i], "Linkage gauge %d" % i)
            r = self.check_gauge(gauge, header)
            if r is None:
                continue
            gauge_routines, callback, element, failures = r
            if routines is None:
                routines = gauge_routines
            self.check(gauge_routines == routines,
                       "%s: the seven generic routines are those of KS-8" % gauge)
            callbacks.add(callback)
            elements.add(element)
            failure_lists.add(failures)
        self.check(len(callbacks) == 3 and len(elements) == 3 and len(failure_lists) == 3,
                   "each gauge has its own service callback, element and failure list")

    def check_gauge(self, gauge, header):
        what = "GAUGEHDR %s" % gauge
        if not self.check(self.is_initialised_data(header, HEADER_SIZE),
                          "%s lies in writable initialised data" % what):
            return None
        h = self.words(header, HEADER_SIZE)
        self.check(h[0] == 800, "%s: header version 800" % what)
        name = self.pointer(header, 4, h[1], "%s name" % what)
        self.check(self.pe.get_string_at_rva(name) == gauge.encode(),
                   "%s: name points at \"%s\"" % (what, gauge))
        routines = []
        for k, routine in enumerate(["query", "install", "initialize", "update", "generate",
                                     "draw", "kill"]):
            rva = self.pointer(header, 12 + 4 * k, h[3 + k], "%s %s routine" % (what, routine))
            self.check(self.is_code(rva), "%s: %s routine points into code" % (what, routine))
            routines.append(rva)
        self.check(len(set(routines)) == 7, "%s: seven distinct generic routines" % what)
        self.check(h[10] == 0, "%s: bytes 40..43 are zero" % what)
        self.check(h[11] == 1, "%s: default size 1 mm" % what)
        self.zeros(h, 48, 84, what)
        callback = self.pointer(header, 84, h[21], "%s service callback" % what)
        self.check(self.is_code(callback), "%s: service callback points into code" % what)
        self.zeros(h, 88, HEADER_SIZE, what)

        lst = self.pointer(header, 8, h[2], "%s element list" % what)
        self.check(self.is_initialised_data(lst, ELEMENT_LIST_SIZE),
                   "%s: element list in writable initialised data" % what)
        el = self.words(lst, ELEMENT_LIST_SIZE)
        self.check(el[1] == 0, "%s: element list ends after one element" % what)
        element = self.pointer(lst, 0, el[0], "%s element list entry" % what)
        failures = self.check_element(gauge, element, header)
        return routines, callback, element, failures

    def check_element(self, gauge, element, header):
        what = "element of %s" % gauge
        self.check(self.is_initialised_data(element, ELEMENT_SIZE),
                   "%s lies in writable initialised data" % what)
        e = self.words(element, ELEMENT_SIZE)
        self.check(e[0] == 0 and e[1] == 101 and e[2] == 0 and e[3] == 0,
                   "%s: static image of bitmap 101 at 0, 0" % what)
        self.zeros(e, 16, 32, what)
        owner = self.pointer(element, 32, e[8], "%s gauge" % what)
        self.check(owner == header, "%s: points back at its own GAUGEHDR" % what)
        self.zeros(e, 36, 44, what)
        failures = self.pointer(element, 44, e[11], "%s failure list" % what)
        self.check(self.is_initialised_data(failures, FAILURE_ENTRY_SIZE) and
                   self.words(failures, FAILURE_ENTRY_SIZE) == [0, 0],
                   "%s: failure list is empty (first entry zero, initialised data)" % what)
        self.check(e[12] == 1, "%s: image flags 1" % what)
        self.zeros(e, 52, ELEMENT_SIZE, what)
        return failures


def main(argv):
    if len(argv) != 2:
        print("usage: check_dll.py <path of Kodrix.gau>", file=sys.stderr)
        return 2
    try:
        c = Checker(argv[1])
    except (OSError, pefile.PEFormatError) as e:
        print("check_dll.py: cannot read %s as a PE file: %s" % (argv[1], e), file=sys.stderr)
        return 2
    c.check_shape()
    rvas = c.check_exports()
    c.check_imports()
    c.check_resources()
    c.check_records(rvas)
    print("%s: %d check%s failed" % ("PASSED" if c.failures == 0 else "FAILED", c.failures,
                                     "" if c.failures == 1 else "s"))
    return 0 if c.failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
