#!/usr/bin/env bash
# check-exports.sh DLL_PATH
#
# Checks the 32-bit Veskera.dll the mail client loads: an i386 DLL named "Veskera.dll" whose
# export table holds exactly the fourteen BKC_ callbacks, undecorated, at ordinals 1 to 14 in the
# client's order, and which needs no MinGW run-time DLL a user's machine would lack. Reads the PE
# file itself, since objdump does not print which ordinal each name has.
set -u
if [[ $# -ne 1 || ! -f $1 ]]; then
  echo "usage: $0 DLL_PATH" >&2
  exit 2
fi

python3 - "$1" <<'EOF'
import struct
import sys

EXPECTED = [
    "BKC_OnStart", "BKC_OnExit", "BKC_OnMenuInit", "BKC_OnOpenFolder", "BKC_OnOpenMail",
    "BKC_OnEveryMinute", "BKC_OnOpenCompose", "BKC_OnOutgoing", "BKC_OnKeyDispatch",
    "BKC_OnRetrieve", "BKC_OnSend", "BKC_OnFinishRetrieve", "BKC_OnPlugInSetup",
    "BKC_OnPlugInInfo",
]
RUNTIME_PREFIXES = ("libgcc", "libstdc++", "libwinpthread")

path = sys.argv[1]
data = open(path, "rb").read()
failures = []


def check(ok, what):
    print(("PASS " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)
    return ok


def u16(off): return struct.unpack_from("<H", data, off)[0]
def u32(off): return struct.unpack_from("<I", data, off)[0]


pe = u32(0x3C) if len(data) >= 64 else 0
if not check(data[:2] == b"MZ" and data[pe:pe + 4] == b"PE\0\0", "a PE file"):
    sys.exit(1)
machine, sections, _, _, _, opt_size, characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
check(machine == 0x14C, "machine i386 (found 0x%04X)" % machine)
check(characteristics & 0x2000 != 0, "a DLL")
opt = pe + 24
if not check(u16(opt) == 0x10B, "a 32-bit optional header"):
    sys.exit(1)
directories = opt + 96
section_table = opt + opt_size
spans = []
for i in range(sections):
    s = section_table + 40 * i
    vsize, vaddr, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
    spans.append((vaddr, max(vsize, rsize), raw))


def at(rva):
    for vaddr, size, raw in spans:
        if vaddr <= rva < vaddr + size:
            return rva - vaddr + raw
    raise ValueError("RVA 0x%X is in no section" % rva)


def text(rva):
    off = at(rva)
    return data[off:data.index(b"\0", off)].decode("latin-1")


export_rva = u32(directories)
if not check(export_rva != 0, "an export table"):
    sys.exit(1)
e = at(export_rva)
name_rva, base, n_functions, n_names, functions, names, ordinals = struct.unpack_from("<IIIIIII", data, e + 12)
check(text(name_rva) == "Veskera.dll", "export name Veskera.dll (found %s)" % text(name_rva))
check(base == 1 and n_functions == 14, "14 ordinals from 1 (found %d from %d)" % (n_functions, base))
exported = {}
for i in range(n_names):
    exported[text(u32(at(names) + 4 * i))] = base + u16(at(ordinals) + 2 * i)
check(sorted(exported) == sorted(EXPECTED), "exactly the 14 names, undecorated (found %s)" % ", ".join(sorted(exported)))
misplaced = ["%s at %s" % (name, exported.get(name)) for ordinal, name in enumerate(EXPECTED, start=1)
             if exported.get(name) != ordinal]
check(not misplaced, "ordinals 1 to 14 in the client's order%s" % (" (found %s)" % ", ".join(misplaced) if misplaced else ""))

imports = []
import_rva = u32(directories + 8)
if import_rva != 0:
    d = at(import_rva)
    while u32(d + 12) != 0:
        imports.append(text(u32(d + 12)))
        d += 20
runtime = [dll for dll in imports if dll.lower().startswith(RUNTIME_PREFIXES)]
check(not runtime, "no MinGW run-time DLL imported (imports: %s)" % ", ".join(imports))

print("%s: %s" % (path, "all checks passed" if not failures else "%d checks failed" % len(failures)))
sys.exit(1 if failures else 0)
EOF
