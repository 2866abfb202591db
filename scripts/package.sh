#!/usr/bin/env bash
# Builds the program alone (no test bed; release; static runtime) and writes
# dist/tavrolin-<version>-win64.zip with tavrolin.exe, its two pointer files and a README.txt
# for Windows users. Prints the zip's path on its last line.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_package

version=$(cat "$PACKAGE_BUILD_DIR/version.txt")
[ -n "$version" ] || { log "no version in $PACKAGE_BUILD_DIR/version.txt"; exit 1; }
stage=$PACKAGE_BUILD_DIR/stage
rm -rf "$stage"
mkdir -p "$stage" "$ROOT/dist"
x86_64-w64-mingw32-strip -o "$stage/tavrolin.exe" "$PACKAGE_BUILD_DIR/bin/tavrolin.exe"
cp "$ROOT/src/app/res/HAND-M.CUR" "$ROOT/src/app/res/drag.ico" "$stage/"

# Windows line ends, so that every editor shows it as written.
sed 's/$/\r/' >"$stage/README.txt" <<TEXT
Tavrolin $version
=========$(printf '%*s' ${#version} '' | tr ' ' '=')

Tavrolin turns a batch of Word documents into PDF files. Collect documents in the list with
"Add Word File(s)", by dragging them from Explorer onto the list, or with
" Add All Word Files In Folder" (every file with the extension you name, in a folder and all of
its subfolders). Then press "Export to PDF": each document is opened in Word, printed on the
printer "PDF Printer", and saved as a PDF beside itself, with the same name and ".pdf".
Double-click a document to take it off the list; drag it to move it.

What it needs
- Windows 10 or 11, 64-bit.
- Microsoft Word, installed on this computer.
- A printer named exactly "PDF Printer" whose driver asks for the file name in a "Save As"
  dialog (a virtual PDF printer). Rename the printer in Windows' printer settings if needed.
- Write access to the folders of the documents: the PDFs are written there. An older PDF of
  the same name is replaced.

How to install
Unzip these files into a folder of their own and start tavrolin.exe. Keep HAND-M.CUR and
drag.ico beside it (they are the pointers shown over the buttons and while moving a document).
Tavrolin keeps no settings and writes nothing to the registry; to remove it, delete the folder.
About one start in a hundred it opens the publisher's home page in your browser (never with
/export).

Close Word before an export: Tavrolin warns when Word is already running.

From Explorer and "Send To"
Drop documents or folders onto tavrolin.exe (or a shortcut to it) and they fill the list, as a
drop onto the list does. To have Tavrolin in "Send To": press Windows+R, type shell:sendto,
press Enter, and put a shortcut to tavrolin.exe into the folder that opens. Documents sent
while a Tavrolin window is open go to that window's list.

From a batch file
  start "" /wait tavrolin.exe /export /report:report.txt "C:\Letters\offer.docx" C:\Memos
  echo %ERRORLEVEL%
/export exports the documents at once, shows no message, goes on after a document that fails,
and ends by itself. Without "start /wait" the batch file does not wait for it.
  /list:FILE       more paths, one a line, from a UTF-8 text file; a report of an earlier run
                   gives the documents that failed in it: /list:report.txt
  /report:FILE     one line per document (exported, skipped or failed; seconds; the path; for
                   a failure the step and the reason) and a totals line, in UTF-8, tab-separated;
                   the same lines go to the console it was started from
  /skip-existing   skips a document whose PDF exists and is newer than it
  /?               the usage
Exit codes: 0 every document exported or skipped; 1 some failed; 2 every one failed; 3 a bad
command line, an unreadable list or report file, or no document; 4 Word not registered for
automation, no interactive desktop, or Word refusing "PDF Printer" before any document was
exported; 5 stopped by the user ("Export to PDF" pressed, Ctrl+C in the console) or the window
closed.

How to report a problem
Every error message names the document and the step that failed (for example "printing on
"PDF Printer""). Please send the exact text of the message (Ctrl+C in a message box copies it),
the document if you may share it, and your versions of Windows and Word, together with the
version of Tavrolin ($version, shown in tavrolin.exe's Properties, tab Details), through the
contact page of https://www.tavrolin.example/.
TEXT

zip_file=$ROOT/dist/tavrolin-$version-win64.zip
rm -f "$zip_file"
# -j: the four files at the top of the zip; -X: no Unix extra fields.
(cd "$stage" && zip -q -X -j "$zip_file" tavrolin.exe HAND-M.CUR drag.ico README.txt)
log "wrote $zip_file"
echo "$zip_file"
