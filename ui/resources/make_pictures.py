#!/usr/bin/env python3
"""Writes the client's pictures as SVG files next to this script: the 55x25 faces of the
toolbar's picture buttons (a normal and a hot one per look; the caption is drawn by the
button itself, so the faces hold only the background and the glyph) and the 16x16 icons
of the list views. Run it again after changing a glyph; the SVG files are committed."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Glyphs on a 16x16 grid. Colours: blue for transfers, green for create/restore, red for
# removal, slate for views.
GLYPHS = {
    "upload": '<path d="M2 11v3h12v-3" fill="none" stroke="#1f6fc5" stroke-width="1.6"/>'
              '<path d="M8 2l-4 4.5h2.6V11h2.8V6.5H12z" fill="#2d8ae6"/>',
    "download": '<path d="M2 11v3h12v-3" fill="none" stroke="#1f6fc5" stroke-width="1.6"/>'
                '<path d="M8 12l4-4.5H9.4V2H6.6v5.5H4z" fill="#2d8ae6"/>',
    "create_directory": '<path d="M1 3.5h5l1.5 1.5H15v9H1z" fill="#f2c14e" stroke="#c28a12"/>'
                        '<path d="M8 9.5h5M10.5 7v5" stroke="#2e9d4a" stroke-width="1.8"/>',
    "refresh": '<path d="M13 8a5 5 0 1 1-1.5-3.6" fill="none" stroke="#2e9d4a" stroke-width="1.8"/>'
               '<path d="M14.5 1.5v5h-5z" fill="#2e9d4a"/>',
    "delete": '<path d="M3 4h10M6 4V2.5h4V4" fill="none" stroke="#c0392b" stroke-width="1.4"/>'
              '<path d="M4 5h8l-.8 9.5H4.8z" fill="#e35d4f" stroke="#c0392b"/>'
              '<path d="M6.5 7v5.5M9.5 7v5.5" stroke="#fff" stroke-width="1.1"/>',
    "task_list": '<rect x="1.5" y="2" width="13" height="12" rx="1" fill="#fff" stroke="#4a5b70"/>'
                 '<path d="M4 5.5h8M4 8h8M4 10.5h5" stroke="#2d8ae6" stroke-width="1.4"/>',
    "file_list": '<path d="M1 3.5h5l1.5 1.5H15v9H1z" fill="#f2c14e" stroke="#c28a12"/>'
                 '<path d="M4 9h8" stroke="#c28a12" stroke-width="1.2"/>',
    "online_list": '<circle cx="6" cy="5" r="2.6" fill="#2d8ae6"/>'
                   '<path d="M1.5 14c0-3 2-4.8 4.5-4.8S10.5 11 10.5 14z" fill="#2d8ae6"/>'
                   '<circle cx="11.5" cy="5.8" r="2.1" fill="#7fb3ea"/>'
                   '<path d="M11 9.6c2.3 0 3.6 1.6 3.6 4.4h-3" fill="#7fb3ea"/>',
    "download_records": '<path d="M3 1.5h7l3 3v10H3z" fill="#fff" stroke="#4a5b70"/>'
                        '<path d="M5 6.5h6M5 9h6M5 11.5h4" stroke="#4a5b70" stroke-width="1.1"/>'
                        '<path d="M10 1.5v3h3" fill="none" stroke="#4a5b70"/>',
    "restore_deleted": '<path d="M4 5h8l-.8 9.5H4.8z" fill="#9fb3c8" stroke="#4a5b70"/>'
                       '<path d="M5.5 3.5a4 4 0 0 1 6.5 1" fill="none" stroke="#2e9d4a" stroke-width="1.6"/>'
                       '<path d="M3 1.5l3.6 1.2-2.4 2.8z" fill="#2e9d4a"/>',
    "login": '<circle cx="5" cy="8" r="3.2" fill="none" stroke="#d49a0a" stroke-width="2"/>'
             '<path d="M8 8h7M12.5 8v3M14.5 8v2.4" stroke="#d49a0a" stroke-width="1.8"/>',
    "logout": '<path d="M9 2H2.5v12H9" fill="none" stroke="#4a5b70" stroke-width="1.6"/>'
              '<path d="M6 8h6.5" stroke="#c0392b" stroke-width="1.8"/>'
              '<path d="M15 8l-3.5-3.5v7z" fill="#c0392b"/>',
    "exit": '<path d="M5 3.6a5.5 5.5 0 1 0 6 0" fill="none" stroke="#c0392b" stroke-width="1.8"/>'
            '<path d="M8 1.5v6" stroke="#c0392b" stroke-width="1.8"/>',
}

FACE_NORMAL = ''
FACE_HOT = ('<rect x="0.5" y="0.5" width="54" height="24" rx="3" fill="url(#g)" stroke="#7eb4ea"/>'
            '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#f2f8fe"/><stop offset="1" stop-color="#d6e9fb"/>'
            '</linearGradient></defs>')


def face(glyph: str, hot: bool) -> str:
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="55" height="25" viewBox="0 0 55 25">'
            + (FACE_HOT if hot else FACE_NORMAL)
            + '<g transform="translate(3 4.5)">' + glyph + '</g></svg>\n')


# The 16x16 icons of both list views, by index.
LIST_ICONS = [
    ("file", '<path d="M3 1.5h7l3 3v10H3z" fill="#fff" stroke="#6b7785"/>'
             '<path d="M10 1.5v3h3" fill="none" stroke="#6b7785"/>'),
    ("archive", '<rect x="2" y="2" width="12" height="12.5" rx="1" fill="#b57b3c" stroke="#7a4f1f"/>'
                '<path d="M8 2v7" stroke="#f2d27a" stroke-width="2" stroke-dasharray="1.5 1"/>'
                '<rect x="6.5" y="8.5" width="3" height="3" fill="#f2d27a" stroke="#7a4f1f" stroke-width=".8"/>'),
    ("program", '<rect x="1.5" y="2.5" width="13" height="11" rx="1" fill="#fff" stroke="#3a6ea5"/>'
                '<rect x="1.5" y="2.5" width="13" height="3" fill="#3a6ea5"/>'
                '<path d="M4 8.5l2 1.5-2 1.5M7.5 11.5h4" fill="none" stroke="#3a6ea5" stroke-width="1.1"/>'),
    ("picture", '<rect x="1.5" y="2.5" width="13" height="11" rx="1" fill="#e8f4ff" stroke="#3a6ea5"/>'
                '<circle cx="5" cy="6" r="1.5" fill="#f2c14e"/>'
                '<path d="M2 13l4-4.5 3 3 2-2 3.5 3.5z" fill="#3f9b4f"/>'),
    ("go_up", '<path d="M1 3.5h5l1.5 1.5H15v9H1z" fill="#f2c14e" stroke="#c28a12"/>'
              '<path d="M8 6.5l3 3H9.2V12H6.8V9.5H5z" fill="#2e9d4a"/>'),
    ("text", '<path d="M3 1.5h7l3 3v10H3z" fill="#fff" stroke="#6b7785"/>'
             '<path d="M5 6.5h6M5 8.5h6M5 10.5h6M5 12.5h4" stroke="#6b7785" stroke-width=".9"/>'),
    ("document", '<path d="M3 1.5h7l3 3v10H3z" fill="#fff" stroke="#2b579a"/>'
                 '<rect x="1" y="5" width="9" height="7" fill="#2b579a"/>'
                 '<path d="M2.3 6.5l1 4 1.2-3 1.2 3 1-4" fill="none" stroke="#fff" stroke-width=".9"/>'),
    ("spreadsheet", '<path d="M3 1.5h7l3 3v10H3z" fill="#fff" stroke="#217346"/>'
                    '<rect x="1" y="5" width="9" height="7" fill="#217346"/>'
                    '<path d="M3 6.5l3.5 4M6.5 6.5l-3.5 4" stroke="#fff" stroke-width="1"/>'),
    ("audio", '<path d="M6 12V3.5l7-1.5v8.5" fill="none" stroke="#8e44ad" stroke-width="1.4"/>'
              '<ellipse cx="4.3" cy="12.2" rx="2.2" ry="1.7" fill="#8e44ad"/>'
              '<ellipse cx="11.3" cy="10.7" rx="2.2" ry="1.7" fill="#8e44ad"/>'),
    ("video", '<rect x="1.5" y="3" width="13" height="10" rx="1" fill="#34495e"/>'
              '<path d="M6.5 5.5v5l4-2.5z" fill="#fff"/>'
              '<path d="M1.5 5h1.5M1.5 8h1.5M1.5 11h1.5M13 5h1.5M13 8h1.5M13 11h1.5" stroke="#fff" stroke-width=".8"/>'),
    ("directory", '<path d="M1 3.5h5l1.5 1.5H15v9H1z" fill="#f2c14e" stroke="#c28a12"/>'
                  '<path d="M1 6.5h14" stroke="#c28a12" stroke-width=".8"/>'),
]


def icon(body: str) -> str:
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">'
            + body + '</svg>\n')


def main() -> None:
    os.makedirs(os.path.join(HERE, "buttons"), exist_ok=True)
    os.makedirs(os.path.join(HERE, "list"), exist_ok=True)
    for name, glyph in GLYPHS.items():
        for hot in (False, True):
            path = os.path.join(HERE, "buttons", f"{name}{'_hot' if hot else ''}.svg")
            with open(path, "w") as f:
                f.write(face(glyph, hot))
    for index, (name, body) in enumerate(LIST_ICONS):
        with open(os.path.join(HERE, "list", f"{index:02d}_{name}.svg"), "w") as f:
            f.write(icon(body))
    with open(os.path.join(HERE, "pictures.qrc"), "w") as f:
        f.write('<!DOCTYPE RCC>\n<RCC version="1.0">\n<qresource prefix="/">\n')
        for name in GLYPHS:
            for hot in ("", "_hot"):
                f.write(f'  <file>buttons/{name}{hot}.svg</file>\n')
        for index, (name, _) in enumerate(LIST_ICONS):
            f.write(f'  <file>list/{index:02d}_{name}.svg</file>\n')
        f.write('</qresource>\n</RCC>\n')


if __name__ == "__main__":
    main()
