#pragma once

#define IDI_TRANSPARENT 1
#define IDI_WORD_DOCUMENT 2
#define IDI_PDF_DOCUMENT 3
#define IDI_OPEN_FOLDER 4
