#!/usr/bin/env python3
"""Makes the sample documents for the demo and the tests (standard library only).

Usage: make_samples.py <output folder>

It writes:
  report.docx             three paragraphs, entries deflated (the usual .docx)
  letter.docx             two paragraphs, entries stored uncompressed
  Café menu.docx          a name and text outside ASCII (typed through the ANSI code page)
  minutes.docx            120 numbered paragraphs: more than one PDF page
  empty.docx              a document without text
  notes.txt               plain text, read as is
  nested/chapter 1.docx   a folder tree for adding a whole folder
  nested/deeper/chapter 2.docx
  nested/deeper/readme.txt
"""
import os
import sys
import zipfile
from xml.sax.saxutils import escape

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>
</Types>"""

RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>
</Relationships>"""

# Fixed timestamps keep the files identical from one build to the next.
STAMP = (2020, 1, 1, 0, 0, 0)


def document_xml(paragraphs):
    body = "".join(
        '<w:p><w:r><w:t xml:space="preserve">%s</w:t></w:r></w:p>' % escape(p) if p else "<w:p/>"
        for p in paragraphs)
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
            "<w:body>%s<w:sectPr/></w:body></w:document>" % body)


def write_docx(path, paragraphs, compression=zipfile.ZIP_DEFLATED):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", compression) as z:
        for name, data in (("[Content_Types].xml", CONTENT_TYPES), ("_rels/.rels", RELS),
                           ("word/document.xml", document_xml(paragraphs))):
            info = zipfile.ZipInfo(name, STAMP)
            info.compress_type = compression
            z.writestr(info, data.encode("utf-8"))


def write_text(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_docx(os.path.join(out, "report.docx"), [
        "Quarterly report",
        "Sales rose in every region this quarter & costs stayed flat.",
        "The board meets again in spring.",
    ])
    write_docx(os.path.join(out, "letter.docx"), [
        "Dear reader,",
        "this letter was stored without compression.",
    ], zipfile.ZIP_STORED)
    write_docx(os.path.join(out, "Café menu.docx"), [
        "Café menu",
        "Crème brûlée costs 4,50 €.",
    ])
    write_docx(os.path.join(out, "minutes.docx"),
               ["Minutes of the long meeting"] + ["Item %d was discussed and agreed." % i for i in range(1, 121)])
    write_docx(os.path.join(out, "empty.docx"), [])
    write_text(os.path.join(out, "notes.txt"), ["Plain notes", "Remember the milk.", "Call the office."])
    write_docx(os.path.join(out, "nested", "chapter 1.docx"), ["Chapter one", "It begins."])
    write_docx(os.path.join(out, "nested", "deeper", "chapter 2.docx"), ["Chapter two", "It goes on."])
    write_text(os.path.join(out, "nested", "deeper", "readme.txt"), ["Not a Word document."])


if __name__ == "__main__":
    main()
