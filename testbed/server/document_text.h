#pragma once
// What the stand-in printer can read of a document: .docx paragraphs, or plain text.
#include <string>
#include <vector>

namespace tavrolin::testbed {

// The raw bytes of one entry of a zip archive (stored or deflated); false when absent or bad.
bool ReadZipEntry(const std::string& archive, const std::string& name, std::string& out);
// The paragraphs of a .docx main part (word/document.xml).
std::vector<std::wstring> DocxParagraphs(const std::string& documentXml);

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
