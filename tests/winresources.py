#!/usr/bin/env python3
# The Windows programs' own resources as Windows reads them: winresources.py <version> <publisher> <exe>...
import os, struct, sys, xml.etree.ElementTree as ET
import pefile

failures = []
for program in sys.argv[3:]:
    pe, name = pefile.PE(program), os.path.basename(program)
    res = {(t.id, n.id): pe.get_data(l.data.struct.OffsetToData, l.data.struct.Size)
           for t in pe.DIRECTORY_ENTRY_RESOURCE.entries for n in t.directory.entries for l in n.directory.entries}
    text = {k.decode(): v.decode() for t in pe.FileInfo[0][0].StringTable for k, v in t.entries.items()}
    found = lambda path, attr=None: [e.get(attr) if attr else e.text for e in ET.fromstring(res[24, 1]).iter(path)]
    icons = next(v for (t, _), v in res.items() if t == 14)  # the icon group: 6-byte header, 14-byte entries
    seen = [[text.get(k) for k in ("CompanyName", "FileVersion", "ProductVersion", "ProductName", "OriginalFilename")],
            bool(text.get("FileDescription") and text.get("LegalCopyright")),
            found("{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel", "level"),
            found("{urn:schemas-microsoft-com:compatibility.v1}supportedOS", "Id"),
            found("{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware") +
            found("{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness"),
            sorted(icons[6 + 14 * i] or 256 for i in range(struct.unpack_from("<H", icons, 4)[0]))]
    wanted = [[sys.argv[2], sys.argv[1], sys.argv[1], "Lumivane", name], True, ["asInvoker"],
              ["{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"], ["true/pm", "permonitor"], [16, 24, 32, 48, 64, 128, 256]]
    failures += [f"{name}: {s!r}, not {w!r}" for s, w in zip(seen, wanted) if s != w]
print("\n".join(failures) or "version, manifest and icons as expected")
sys.exit(1 if failures else 0)
