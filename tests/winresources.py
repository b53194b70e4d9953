#!/usr/bin/env python3
"""The Windows programs' own resources as Windows reads them: winresources.py <version> <publisher> <exe>..."""
import os, struct, sys, xml.etree.ElementTree as ET
import pefile

version, publisher, failures = sys.argv[1], sys.argv[2], []
for program in sys.argv[3:]:
    pe, name = pefile.PE(program), os.path.basename(program)
    res = {(t.id, n.id): pe.get_data(l.data.struct.OffsetToData, l.data.struct.Size)
           for t in pe.DIRECTORY_ENTRY_RESOURCE.entries for n in t.directory.entries for l in n.directory.entries}
    text = {k.decode(): v.decode() for i in pe.FileInfo[0] if i.Key == b"StringFileInfo"
            for t in i.StringTable for k, v in t.entries.items()}
    found = lambda tag, attr=None: [e.get(attr) if attr else e.text
                                    for e in ET.fromstring(res.get((24, 1), b"<none/>")).iter(tag)]
    settings = "{http://schemas.microsoft.com/SMI/20%s/WindowsSettings}"
    icons = next(v for (t, _), v in res.items() if t == 14)  # the icon group
    checks = [(key, text.get(key), wanted) for key, wanted in (("CompanyName", publisher), ("FileVersion", version),
              ("ProductVersion", version), ("ProductName", "Lumivane"), ("OriginalFilename", name))] + [
        ("descriptions", all(text.get(k) for k in ("FileDescription", "LegalCopyright")), True),
        ("level", found("{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel", "level"), ["asInvoker"]),
        ("supportedOS", found("{urn:schemas-microsoft-com:compatibility.v1}supportedOS", "Id"),
         ["{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]),
        ("dpi", found(settings % "05" + "dpiAware") + found(settings % "16" + "dpiAwareness"), ["true/pm", "permonitor"]),
        ("icons", sorted(icons[6 + 14 * i] or 256 for i in range(struct.unpack_from("<H", icons, 4)[0])),
         [16, 24, 32, 48, 64, 128, 256])]
    failures += [f"{name}: {what} is {seen!r}, not {wanted!r}" for what, seen, wanted in checks if seen != wanted]
print("\n".join(failures) or "version, manifest and icons as expected")
sys.exit(1 if failures else 0)
