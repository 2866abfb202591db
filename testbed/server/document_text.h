#pragma once
// What the stand-in printer can read of a document: .docx paragraphs, or plain text.
#include <map>
#include <string>
#include <vector>

namespace tavrolin::testbed {

// The raw bytes of one entry of a zip archive (stored or deflated); false when absent or bad.
bool ReadZipEntry(const std::string& archive, const std::string& name, std::string& out);
// The paragraphs of a .docx main part (word/document.xml); a manual line break starts a new one.
std::vector<std::wstring> DocxParagraphs(const std::string& documentXml);

// A paragraph as Word's own export reads it. A manual line break is kLineBreak in the text.
inline constexpr wchar_t kLineBreak = L'\v';
struct DocxLink {
  size_t start = 0;   // in the paragraph's text
  size_t length = 0;
  std::string relationship;  // r:id, to look up in word/_rels/document.xml.rels
};
struct DocxParagraph {
  std::wstring text;
  std::string style;      // w:pStyle, empty for the default paragraph style
  int outlineLevel = -1;  // its own w:outlineLvl (0-9), -1 when it has none
  std::vector<DocxLink> links;
  std::vector<std::string> comments;  // ids of the comments referenced in it
};
std::vector<DocxParagraph> ReadDocxParagraphs(const std::string& documentXml);

// The outline level (0-8) each paragraph style gives, its own or through w:basedOn; styles
// that give none (or 9, body text) are absent. "" is the default paragraph style.
std::map<std::string, int> StyleOutlineLevels(const std::string& stylesXml);
// The targets of the external relationships of a part's .rels, by id.
std::map<std::string, std::wstring> ExternalTargets(const std::string& relsXml);
struct DocxComment {
  std::wstring author;
  std::wstring text;
};
// word/comments.xml by comment id.
std::map<std::string, DocxComment> ReadComments(const std::string& commentsXml);
// The whole file, at most the size a document may have; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string& out);

// A .docx main part as far as it can be read. A package cut short (a copy or download that
// stopped) has no central directory: the part is then read from its local header up to the cut.
struct DocxPart {
  bool found = false;  // the package has a word/document.xml
  bool whole = false;  // ... and it reads to its end
  std::string xml;
};
DocxPart ReadDocxPart(const std::string& bytes);
// Whether the part holds a field that asks for its text when it is updated (FILLIN, ASK), in a
// field code of w:instrText or w:fldSimple.
bool HasAskingField(const std::string& documentXml);
// The paragraphs of the document at `path`; empty with `readable` false when the format is not
// one the stand-in understands.
std::vector<std::wstring> DocumentParagraphs(const std::wstring& path, bool& readable);

}  // namespace tavrolin::testbed
