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
  headings.docx           two headings (one by the style "berschrift1", whose outline level is
                          only in styles.xml, one by its own outline level, nested below it),
                          body text, an external link to https://example.org/tavrolin and a
                          comment
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


W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
R = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
LINK = "https://example.org/tavrolin"


def write_headings(path):
    """A German-named heading style (its id is not "Heading1", its level is only in the style),
    a heading with its own outline level, a link and a comment, as Word saves them."""
    styles = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:styles %s>'
              '<w:style w:type="paragraph" w:default="1" w:styleId="Standard"><w:name w:val="Normal"/></w:style>'
              '<w:style w:type="paragraph" w:styleId="berschrift1"><w:name w:val="heading 1"/>'
              '<w:basedOn w:val="Standard"/><w:pPr><w:outlineLvl w:val="0"/></w:pPr></w:style>'
              '</w:styles>' % W)
    body = ('<w:p><w:pPr><w:pStyle w:val="berschrift1"/></w:pPr><w:r><w:t>Overview</w:t></w:r></w:p>'
            '<w:p><w:pPr><w:outlineLvl w:val="1"/></w:pPr><w:r><w:t>Details</w:t></w:r></w:p>'
            '<w:p><w:r><w:t xml:space="preserve">Read more at </w:t></w:r>'
            '<w:hyperlink r:id="rId9"><w:r><w:t>our site</w:t></w:r></w:hyperlink>'
            '<w:commentRangeStart w:id="0"/><w:r><w:t xml:space="preserve"> today.</w:t></w:r>'
            '<w:commentRangeEnd w:id="0"/><w:r><w:commentReference w:id="0"/></w:r></w:p>')
    document = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document %s %s>'
                '<w:body>%s<w:sectPr/></w:body></w:document>' % (W, R, body))
    comments = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:comments %s>'
                '<w:comment w:id="0" w:author="Reviewer" w:initials="R"><w:p><w:r><w:t>Check the date.</w:t>'
                '</w:r></w:p></w:comment></w:comments>' % W)
    rels = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="%sstyles" Target="styles.xml"/>'
            '<Relationship Id="rId2" Type="%scomments" Target="comments.xml"/>'
            '<Relationship Id="rId9" Type="%shyperlink" Target="%s" TargetMode="External"/>'
            '</Relationships>' % (REL, REL, REL, LINK))
    types = CONTENT_TYPES.replace("</Types>", (
        '<Override PartName="/word/styles.xml" ContentType="application/'
        'vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>'
        '<Override PartName="/word/comments.xml" ContentType="application/'
        'vnd.openxmlformats-officedocument.wordprocessingml.comments+xml"/></Types>'))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in (("[Content_Types].xml", types), ("_rels/.rels", RELS), ("word/document.xml", document),
                           ("word/styles.xml", styles), ("word/comments.xml", comments),
                           ("word/_rels/document.xml.rels", rels)):
            info = zipfile.ZipInfo(name, STAMP)
            info.compress_type = zipfile.ZIP_DEFLATED
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
    write_headings(os.path.join(out, "headings.docx"))
    write_text(os.path.join(out, "notes.txt"), ["Plain notes", "Remember the milk.", "Call the office."])
    write_docx(os.path.join(out, "nested", "chapter 1.docx"), ["Chapter one", "It begins."])
    write_docx(os.path.join(out, "nested", "deeper", "chapter 2.docx"), ["Chapter two", "It goes on."])
    write_text(os.path.join(out, "nested", "deeper", "readme.txt"), ["Not a Word document."])


if __name__ == "__main__":
    main()
