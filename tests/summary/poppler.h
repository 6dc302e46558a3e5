// A PDF as poppler reads it: its text (pdftotext) and its first page as a
// picture (pdftoppm), for the tests of the report.
#pragma once

#include <string>

namespace poppler {

// The text of every page, laid out as on the page, each run of blanks
// one blank and ligatures as their letters.
std::string text(const std::string &pdf);
// "A4" or "letter", as pdfinfo names the first page's size.
std::string pageSize(const std::string &pdf);
// The first page as a picture at 100 dots to the inch: `png` and ".png".
void firstPage(const std::string &pdf, const std::string &png);
// Pixels of the first page, at 100 dots to the inch, within a small
// distance of the colour 0xRRGGBB.
int pixelsNear(const std::string &pdf, int colour);

}  // namespace poppler
