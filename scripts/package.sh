#!/usr/bin/env bash
# Builds the program alone (no test bed; release; static runtime) and writes
# dist/tavrolin-<version>-win64.zip with tavrolin.exe, its two pointer files and a README.txt
# for Windows users, and dist/tavrolin-<version>-win64.msi, which installs the same files
# (installer/tavrolin.wxs). Prints the MSI's path, then the zip's path on the last line.
#
# For the installer check only: TAVROLIN_PACKAGE_VERSION names the packages (and the MSI's
# version) otherwise than CMakeLists.txt, to have an older MSI to upgrade from, and
# TAVROLIN_PACKAGE_OUT writes them elsewhere than dist/.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ensure_packages
build_package

version=${TAVROLIN_PACKAGE_VERSION:-$(cat "$PACKAGE_BUILD_DIR/version.txt")}
[ -n "$version" ] || { log "no version in $PACKAGE_BUILD_DIR/version.txt"; exit 1; }
out=${TAVROLIN_PACKAGE_OUT:-$ROOT/dist}
stage=$PACKAGE_BUILD_DIR/stage
rm -rf "$stage"
mkdir -p "$stage" "$out"
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
Right-click "Export to PDF" for its options: Word's own PDF export instead of the printer
(links, bookmarks from headings and tags for screen readers; PDF/A for archiving; comments
and tracked changes shown), and the PDFs into a folder you choose instead of beside their
documents (the folders below the documents' common folder are kept).

What it needs
- Windows 10 or 11, 64-bit.
- Microsoft Word, installed on this computer.
- For printing (the default): a printer named exactly "PDF Printer" whose driver asks for the
  file name in a "Save As" dialog (a virtual PDF printer). Rename the printer in Windows'
  printer settings if needed. Word's own PDF export needs no printer.
- Write access to the folders the PDFs go to (beside the documents unless you choose a
  folder). An older PDF of the same name is replaced.

How to install
With the installer: double-click tavrolin-$version-win64.msi (or, for all computers of an
office, msiexec /i tavrolin-$version-win64.msi /qn). It puts Tavrolin into
Program Files\Tavrolin, adds "Tavrolin" to the Start menu and "Export to PDF with Tavrolin"
to Explorer's menu of Word documents and folders (on Windows 11 under "Show more options").
Remove it in Settings, Apps (or msiexec /x tavrolin-$version-win64.msi /qn). The installer is
not signed: Windows may say "Windows protected your PC"; choose "More info", then "Run anyway".
From the zip: unzip these files into a folder of their own and start tavrolin.exe. Keep
HAND-M.CUR and drag.ico beside it (they are the pointers shown over the buttons and while
moving a document). The program keeps no settings and writes nothing to the registry; to
remove the unzipped copy, delete the folder.
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
  /list:FILE       more paths, one a line, from a text file (UTF-16 as PowerShell's ">" writes
                   it, UTF-8, or else the ANSI code page as "dir /b >" writes it; quotes are
                   removed; a relative path is taken from the list's own folder); a report of
                   an earlier run gives the documents that failed in it: /list:report.txt
  /report:FILE     one line per document (exported, skipped or failed; seconds; the path; for
                   a failure the step and the reason) and a totals line, in UTF-8, tab-separated;
                   the same lines go to the console it was started from
  /skip-existing   skips a document whose complete PDF exists and is newer than it
  /out:DIR         the PDFs into DIR, each below it as its document lies below the folder the
                   documents share
  /via:word        Word's own PDF export (no printer); with /pdfa PDF/A, with /markup the
                   comments and tracked changes shown; /via:printer (the default) prints
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

# The installer: wixl takes the files from the current directory.

product_code=$(python3 -c 'import sys, uuid; print(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2]))' \
  "$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$ROOT/installer/tavrolin.wxs")" "$version")
# The publisher as the program's version resource names it (its product name when it names none).
rc=$ROOT/src/app/tavrolin.rc
publisher=$(sed -n 's/.*VALUE "CompanyName", *"\([^"]*\)".*/\1/p' "$rc" | head -n 1)
[ -n "$publisher" ] || publisher=$(sed -n 's/.*VALUE "ProductName", *"\([^"]*\)".*/\1/p' "$rc" | head -n 1)
cp "$ROOT/src/app/res/pdf_document.ico" "$PACKAGE_BUILD_DIR/installer.ico"
msi_file=$out/tavrolin-$version-win64.msi
rm -f "$msi_file"
(cd "$stage" && wixl -a x64 -o "$msi_file" -D Version="$version" -D ProductCode="$product_code" \
  -D Manufacturer="$publisher" -D IconFile=../installer.ico "$ROOT/installer/tavrolin.wxs")
log "wrote $msi_file"
echo "$msi_file"

zip_file=$out/tavrolin-$version-win64.zip
rm -f "$zip_file"
# -j: the four files at the top of the zip; -X: no Unix extra fields.
(cd "$stage" && zip -q -X -j "$zip_file" tavrolin.exe HAND-M.CUR drag.ico README.txt)
log "wrote $zip_file"
echo "$zip_file"
