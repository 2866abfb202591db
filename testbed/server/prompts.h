#pragma once
// The questions Word asks in a window of its own, which in an instance nobody sees wait for an
// answer that never comes; and what Word looks at in a file before it decides to ask.
#include <string>

namespace tavrolin::testbed {

// What a file is, as Word tells from its content (not its name).
enum class FileFormat {
  WordOpenXml,       // a zip package with a word/document.xml part, whole or cut short
  WordBinary,        // a compound file with a WordDocument stream
  Encrypted,         // a compound file with an EncryptedPackage stream: a protected document
  OpenDocumentText,  // a zip package whose mimetype is OpenDocument text
  Html,
  Rtf,
  PlainText,
  OtherCompound,     // a compound file of another program
};
FileFormat DetectFormat(const std::string& bytes);
// Word opens these without a converter.
bool IsWordFormat(FileFormat format);
// Plain text whose encoding Word cannot recognise: bytes outside ASCII and no byte-order mark.
bool NeedsEncodingChoice(const std::string& bytes);

// Word's question `which` ("password", "convert-file", "encoding", "printing",
// "unreadable-content", "fill-in"): logged as a "prompt" event, then a modal loop on a hidden
// window that never ends by itself. Incoming calls are refused meanwhile, as Word refuses them
// while one of its dialogs is up.
[[noreturn]] void WaitOnPrompt(const std::wstring& which);
// True while a prompt is up.
bool InPrompt();

}  // namespace tavrolin::testbed
